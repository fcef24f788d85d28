# kova_delay_import(<target> <dll base name>): an interface target that links a system DLL
# so that it loads at the first call into it rather than at process start. Kova's resident
# start then maps no more than a tray program needs; GDI+ and COM come with the first
# pop-up or the idle warm-up after the tray icon shows.
# Only for a DLL whose functions are called as plain functions, as GDI+'s flat API is: GNU ld
# drops the stub of a function that is only called through a dllimport pointer, and with a
# delay-import library that pointer then stays empty.
function(kova_delay_import target dll)
  add_library(${target} INTERFACE)
  if(MSVC)
    target_link_libraries(${target} INTERFACE ${dll} delayimp)
    target_link_options(${target} INTERFACE /DELAYLOAD:${dll}.dll)
    return()
  endif()
  # MinGW: a delay-import library made by dlltool from the toolchain's own import library.
  find_library(KOVA_IMPORT_LIB_${dll} NAMES lib${dll}.a ${dll} REQUIRED)
  get_filename_component(_dir "${CMAKE_CXX_COMPILER}" DIRECTORY)
  string(REGEX REPLACE "(g\\+\\+|gcc|c\\+\\+)(-posix|-win32)?(\\.exe)?$" "" _prefix
         "${CMAKE_CXX_COMPILER}")
  find_program(KOVA_DLLTOOL NAMES ${_prefix}dlltool dlltool HINTS ${_dir} REQUIRED)
  find_program(KOVA_NM NAMES ${_prefix}nm nm HINTS ${_dir} REQUIRED)
  set(_x86 OFF)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(_x86 ON)
  endif()
  set(_def ${CMAKE_BINARY_DIR}/delayimp/${dll}.def)
  set(_lib ${CMAKE_BINARY_DIR}/delayimp/lib${dll}_delay.a)
  # Made when the build is configured: the toolchain's libraries do not change under a build.
  if(NOT EXISTS ${_lib} OR ${KOVA_IMPORT_LIB_${dll}} IS_NEWER_THAN ${_lib})
    execute_process(COMMAND ${CMAKE_COMMAND} -DNM=${KOVA_NM} -DIMPORT_LIB=${KOVA_IMPORT_LIB_${dll}}
                            -DDLL=${dll}.dll -DDEF=${_def} -DX86=${_x86}
                            -P ${CMAKE_SOURCE_DIR}/cmake/ImportLibToDef.cmake
                    COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${KOVA_DLLTOOL} --kill-at --def ${_def} --dllname ${dll}.dll
                            --output-delaylib ${_lib}
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
  # delayimp brings the loader's helper.
  target_link_libraries(${target} INTERFACE ${_lib} delayimp)
endfunction()
