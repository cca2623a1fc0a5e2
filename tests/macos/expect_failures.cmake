# Each file matching FAULTS must compile cleanly with VELMORYN_FAULT=0 and fail
# with VELMORYN_FAULT=1, with a diagnostic matching its "// expect: " line. A
# "// flags: " line adds compiler flags after FLAGS (a later -target wins).
# Usage: cmake -DCHECKER=clang++ -DFLAGS=<list> -DFAULTS=<glob> -P expect_failures.cmake
file(GLOB faults ${FAULTS})
if(NOT faults)
  message(FATAL_ERROR "no fault files match ${FAULTS}")
endif()

foreach(fault IN LISTS faults)
  file(STRINGS ${fault} expectLine REGEX "^// expect: ")
  string(REGEX REPLACE "^// expect: " "" expected "${expectLine}")
  if(expected STREQUAL "")
    message(FATAL_ERROR "${fault}: no \"// expect: \" line")
  endif()
  file(STRINGS ${fault} flagsLine REGEX "^// flags: ")
  string(REGEX REPLACE "^// flags: " "" extra "${flagsLine}")
  separate_arguments(extra UNIX_COMMAND "${extra}")

  execute_process(COMMAND ${CHECKER} ${FLAGS} ${extra} -DVELMORYN_FAULT=0 ${fault}
                  RESULT_VARIABLE cleanResult ERROR_VARIABLE cleanErrors)
  if(NOT cleanResult EQUAL 0)
    message(FATAL_ERROR "${fault}: the correct variant does not compile:\n${cleanErrors}")
  endif()

  execute_process(COMMAND ${CHECKER} ${FLAGS} ${extra} -DVELMORYN_FAULT=1 ${fault}
                  RESULT_VARIABLE faultResult ERROR_VARIABLE faultErrors)
  if(faultResult EQUAL 0)
    message(FATAL_ERROR "${fault}: the faulty variant was accepted")
  endif()
  if(NOT faultErrors MATCHES "${expected}")
    message(FATAL_ERROR "${fault}: failed, but not with \"${expected}\":\n${faultErrors}")
  endif()
  get_filename_component(name ${fault} NAME)
  message(STATUS "${name}: rejected as expected")
endforeach()
