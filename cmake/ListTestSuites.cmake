# Asks a GoogleTest program for its suites and writes them to OUT as
# set(suites ...). Run by a program's CTest include file (GTestSuites.cmake)
# when the program is newer than OUT.
#   cmake -D PROGRAM=path [-D EMULATOR=launcher] -D OUT=file -P ListTestSuites.cmake
execute_process(COMMAND ${EMULATOR} "${PROGRAM}" --gtest_list_tests
  OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status TIMEOUT 60)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --gtest_list_tests failed (${status}):\n${errors}${listing}")
endif()
string(REPLACE ";" "\\;" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
# A suite's line starts in the first column and ends in a dot (typed suites
# add "# TypeParam = ..."); its cases follow, indented. A suite whose cases
# are all disabled runs nothing and is left out.
set(suites "")
set(suite "")
foreach(line IN LISTS lines)
  if(line MATCHES "^([^ #]+)\\.[ ]*(#.*)?$")
    set(suite "${CMAKE_MATCH_1}")
    if(suite MATCHES "^DISABLED_|/DISABLED_")
      set(suite "")
    endif()
  elseif(suite AND line MATCHES "^  ([^ ]+)" AND NOT CMAKE_MATCH_1 MATCHES "^DISABLED_")
    list(APPEND suites "${suite}")
    set(suite "")
  endif()
endforeach()
if(NOT suites)
  message(FATAL_ERROR "${PROGRAM} lists no test suites:\n${listing}")
endif()
file(WRITE "${OUT}" "set(suites \"${suites}\")\n")
