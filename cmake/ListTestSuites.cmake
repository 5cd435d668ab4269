# Run after a test program is linked (cmake -P): asks it for its GoogleTest
# suites and writes them to OUT as set(suites ...), which the program's CTest
# include file turns into one test per suite.
#   -D PROGRAM=path -D OUT=file
execute_process(COMMAND "${PROGRAM}" --gtest_list_tests
  OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status TIMEOUT 60)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --gtest_list_tests failed (${status}):\n${errors}${listing}")
endif()
string(REPLACE ";" "\\;" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(suites "")
foreach(line IN LISTS lines)
  # A suite's line starts in the first column and ends in a dot, followed by
  # "# TypeParam = ..." for typed suites; cases are indented.
  if(line MATCHES "^([^ #]+)\\.[ ]*(#.*)?$")
    set(suite "${CMAKE_MATCH_1}")
    if(NOT suite MATCHES "^DISABLED_|/DISABLED_")
      list(APPEND suites "${suite}")
    endif()
  endif()
endforeach()
if(NOT suites)
  message(FATAL_ERROR "${PROGRAM} lists no test suites:\n${listing}")
endif()
file(WRITE "${OUT}.new" "set(suites \"${suites}\")\n")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
