# cmake -DCERT=... -DKEY=... -DINPUT=... -DOUTPUT=... [-DOSSLSIGNCODE=...] -P sign.cmake
# Authenticode-signs INPUT into OUTPUT (sha256, no time stamp: the build has no network).
foreach(v CERT KEY INPUT OUTPUT)
  if(NOT DEFINED ${v} OR "${${v}}" STREQUAL "")
    message(FATAL_ERROR "sign.cmake: ${v} not given")
  endif()
endforeach()
if(NOT OSSLSIGNCODE)
  set(OSSLSIGNCODE osslsigncode)
endif()
# osslsigncode refuses to write over an existing file.
file(REMOVE "${OUTPUT}")
execute_process(
  COMMAND "${OSSLSIGNCODE}" sign -certs "${CERT}" -key "${KEY}" -n "Kova" -h sha256
          -in "${INPUT}" -out "${OUTPUT}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "signing ${INPUT} failed:\n${out}")
endif()
