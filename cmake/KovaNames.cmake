# The names Kova and its installers share, read from res/KovaNames.h, the header Kova uses
# them from: each `#define KOVA_NAME "text"` line becomes the CMake variable KOVA_NAME.
# Included by the top-level project and by installer/ (which the signing test builds alone).
set(kova_names_h ${CMAKE_CURRENT_LIST_DIR}/../res/KovaNames.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${kova_names_h})
file(STRINGS ${kova_names_h} kova_name_lines REGEX "^#define KOVA_[A-Z_]+ \"")
foreach(line IN LISTS kova_name_lines)
  if(NOT line MATCHES "^#define (KOVA_[A-Z_]+) \"(.*)\"$")
    message(FATAL_ERROR "KovaNames.h: cannot read '${line}'")
  endif()
  string(REPLACE "\\\\" "\\" ${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")  # the C string's doubled backslashes
endforeach()
foreach(v KOVA_WINDOW_CLASS KOVA_POLICY_KEY KOVA_POLICY_ALLOW_WIFI KOVA_POLICY_ALLOW_BLUETOOTH
          KOVA_PUBLISHER KOVA_REG_KEY KOVA_RUN_VALUE KOVA_HELP_NAME)
  if(NOT ${v})
    message(FATAL_ERROR "KovaNames.h does not define ${v}")
  endif()
endforeach()
