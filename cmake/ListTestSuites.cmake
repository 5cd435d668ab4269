# Asks a GoogleTest program for its suites and writes them to OUT as
# set(suites ...). Run when ctest starts for every program newer than its
# OUT at once, and by a program's CTest include file (GTestSuites.cmake)
# when its OUT is still older. With LEAVE_FAILURE_TO_CTEST (the first of
# the two) a failed listing only removes OUT, for the include to report.
#   cmake -D PROGRAM=path [-D EMULATOR=launcher] -D OUT=file
#         [-D LEAVE_FAILURE_TO_CTEST=1] -P ListTestSuites.cmake
# A listing allocates nothing worth a leak check at its exit.
if(DEFINED ENV{ASAN_OPTIONS} AND NOT "$ENV{ASAN_OPTIONS}" STREQUAL "")
  set(ENV{ASAN_OPTIONS} "$ENV{ASAN_OPTIONS}:detect_leaks=0")
else()
  set(ENV{ASAN_OPTIONS} "detect_leaks=0")
endif()
execute_process(COMMAND ${EMULATOR} "${PROGRAM}" --gtest_list_tests
  OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status TIMEOUT 60)
if(NOT status EQUAL 0)
  if(LEAVE_FAILURE_TO_CTEST)
    file(REMOVE "${OUT}")
    return()
  endif()
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
  if(LEAVE_FAILURE_TO_CTEST)
    file(REMOVE "${OUT}")
    return()
  endif()
  message(FATAL_ERROR "${PROGRAM} lists no test suites:\n${listing}")
endif()
file(WRITE "${OUT}" "set(suites \"${suites}\")\n")
