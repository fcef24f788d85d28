# cmake -DWIXL=... -DMSIBUILD=... -DWXS=... -DSQL=... -DVERSION=... -DKOVA_EXE=...
#       -DKOVA_HELP=... -DHELP_NAME=... -DKOVA_ICON=... -DKOVA_CLOSE=... -DKOVACTL=... -DPUBLISHER=... -DREG_KEY=...
#       -DRUN_VALUE=... -DUPGRADE_CODE=... -DPOLICY_DIR=... -DSTAGE=dir -DOUTPUT=... -P msi.cmake
# Builds Kova.msi: wixl from WXS, then the rows of SQL that wixl cannot write (msibuild).
cmake_minimum_required(VERSION 3.20)
foreach(v WIXL MSIBUILD WXS SQL VERSION KOVA_EXE KOVA_HELP HELP_NAME KOVA_ICON KOVA_CLOSE KOVACTL PUBLISHER REG_KEY RUN_VALUE
          UPGRADE_CODE POLICY_DIR STAGE OUTPUT)
  if(NOT DEFINED ${v} OR "${${v}}" STREQUAL "")
    message(FATAL_ERROR "msi.cmake: ${v} not given")
  endif()
endforeach()

# wixl finds sources only relative to its working folder.
file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}")
foreach(pair "KOVA_EXE;Kova.exe" "KOVA_HELP;${HELP_NAME}" "KOVA_ICON;Kova.ico" "KOVA_CLOSE;kovaclose.dll" "KOVACTL;kovactl.exe")
  list(GET pair 0 var)
  list(GET pair 1 name)
  configure_file("${${var}}" "${STAGE}/${name}" COPYONLY)
endforeach()
file(COPY "${POLICY_DIR}/" DESTINATION "${STAGE}/policy")

file(REMOVE "${OUTPUT}")
execute_process(
  COMMAND "${WIXL}" -a x86 -D Version=${VERSION} -D KovaExe=Kova.exe -D KovaHelp=${HELP_NAME}
          -D KovaIcon=Kova.ico -D KovaClose=kovaclose.dll -D Kovactl=kovactl.exe -D PolicyDir=policy -D Publisher=${PUBLISHER}
          -D RegKey=${REG_KEY} -D RunValue=${RUN_VALUE} -D UpgradeCode=${UPGRADE_CODE}
          -o "${STAGE}/Kova.msi" "${WXS}"
  WORKING_DIRECTORY "${STAGE}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
# wixl warns on stderr and may still exit 0: any output is a failure.
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
  message(FATAL_ERROR "wixl failed on ${WXS}:\n${out}")
endif()

# Line by line, without CMake lists: a statement may hold semicolons.
file(READ "${SQL}" sql)
string(REPLACE "@VERSION@" "${VERSION}" sql "${sql}")
string(REPLACE "@UPGRADE_CODE@" "${UPGRADE_CODE}" sql "${sql}")
while(NOT sql STREQUAL "")
  string(FIND "${sql}" "\n" eol)
  if(eol EQUAL -1)
    string(LENGTH "${sql}" eol)
  endif()
  string(SUBSTRING "${sql}" 0 ${eol} line)
  math(EXPR eol "${eol} + 1")
  string(SUBSTRING "${sql}" ${eol} -1 sql)
  if(line STREQUAL "" OR line MATCHES "^--")
    continue()
  endif()
  execute_process(COMMAND "${MSIBUILD}" "${STAGE}/Kova.msi" -q "${line}"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
    message(FATAL_ERROR "msibuild failed on ${STAGE}/Kova.msi:\n${line}\n${out}")
  endif()
endwhile()
get_filename_component(dir "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${dir}")
file(RENAME "${STAGE}/Kova.msi" "${OUTPUT}")
