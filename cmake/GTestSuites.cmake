# varnholt_gtest_suites(TARGET PREFIX prefix [ENVIRONMENT_VAR var]
#                       [TOGETHER [ALONE suite ...]]
#                       [PROPERTIES name value ...]): each GoogleTest suite of
# TARGET becomes one CTest test, "<prefix>Suite", that runs the suite's cases
# in one process (--gtest_filter=Suite.*): a sanitized process or a Wine
# process for each case cost more than most cases. With TOGETHER the suites
# not named ALONE share one such test, "<prefix>QuickSuites" (or the
# suite's own name when there is one): most suites take less time than the
# start and leak check of their process. The suites are listed
# when ctest starts and the program is newer than the last listing, through
# CMAKE_CROSSCOMPILING_EMULATOR when there is one. ENVIRONMENT_VAR names a
# variable holding the tests' environment list. Where ctest knows
# varnholt_take_slots, each suite's test takes its share of the cores
# (TestCores.cmake).
set(VARNHOLT_LIST_SUITES_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/ListTestSuites.cmake)

function(varnholt_gtest_suites target)
  cmake_parse_arguments(S "TOGETHER" "PREFIX;ENVIRONMENT_VAR" "ALONE;PROPERTIES" ${ARGN})
  set(suites_file ${CMAKE_CURRENT_BINARY_DIR}/${target}_suites.cmake)
  set(launcher "")
  foreach(part IN LISTS CMAKE_CROSSCOMPILING_EMULATOR)
    string(APPEND launcher " [==[${part}]==]")
  endforeach()
  set(properties "")
  foreach(part IN LISTS S_PROPERTIES)
    string(APPEND properties " [==[${part}]==]")
  endforeach()
  # The listing runs in the tests' environment too (sanitizer options).
  set(environment "")
  if(S_ENVIRONMENT_VAR)
    string(APPEND properties " ENVIRONMENT [==[${${S_ENVIRONMENT_VAR}}]==]")
    foreach(entry IN LISTS ${S_ENVIRONMENT_VAR})
      string(APPEND environment " [==[${entry}]==]")
    endforeach()
  endif()
  # When a listing is due, and the command that makes it, -P apart so that
  # another -D fits before it: the program's include and the listing of
  # all programs together (varnholt_list_suites_together) share both.
  set(due "NOT EXISTS [==[${suites_file}]==] OR [==[$<TARGET_FILE:${target}>]==] IS_NEWER_THAN [==[${suites_file}]==]")
  set(list_command "[==[${CMAKE_COMMAND}]==] -E env${environment}
    [==[${CMAKE_COMMAND}]==] [==[-DPROGRAM=$<TARGET_FILE:${target}>]==]
    [==[-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}]==] [==[-DOUT=${suites_file}]==]")
  set(list_script "-P [==[${VARNHOLT_LIST_SUITES_SCRIPT}]==]")
  file(GENERATE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}_tests.cmake CONTENT
"set(grouped $<BOOL:${S_TOGETHER}>)
set(alone [==[${S_ALONE}]==])
set(program [==[$<TARGET_FILE:${target}>]==])
set(suites_file [==[${suites_file}]==])
if(NOT EXISTS \"\${program}\")
  add_test([==[${S_PREFIX}NOT_BUILT]==] [==[${target}_NOT_BUILT]==])
  return()
endif()
if(${due})
  execute_process(COMMAND ${list_command} ${list_script} RESULT_VARIABLE listed)
  if(NOT listed EQUAL 0)
    file(REMOVE \"\${suites_file}\")
    add_test([==[${S_PREFIX}NOT_LISTED]==] [==[${target}_could_not_list_its_tests]==])
    return()
  endif()
endif()
include(\"\${suites_file}\")
function(varnholt_suites_test name filter)
  add_test(\"${S_PREFIX}\${name}\"${launcher} \"\${program}\" \"--gtest_filter=\${filter}\")
  set_tests_properties(\"${S_PREFIX}\${name}\" PROPERTIES${properties}
    WORKING_DIRECTORY [==[${CMAKE_CURRENT_BINARY_DIR}]==])
  if(COMMAND varnholt_take_slots)
    varnholt_take_slots(\"${S_PREFIX}\${name}\")
  endif()
endfunction()
set(together \"\")
foreach(suite IN LISTS suites)
  list(FIND alone \"\${suite}\" alone_at)
  if(grouped AND alone_at EQUAL -1)
    list(APPEND together \"\${suite}\")
  else()
    varnholt_suites_test(\"\${suite}\" \"\${suite}.*\")
  endif()
endforeach()
list(LENGTH together count)
if(count EQUAL 1)
  varnholt_suites_test(\"\${together}\" \"\${together}.*\")
elseif(count GREATER 1)
  list(JOIN together \".*:\" filter)
  varnholt_suites_test(QuickSuites \"\${filter}.*\")
endif()
")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES
    ${CMAKE_CURRENT_BINARY_DIR}/${target}_tests.cmake)
  # The same listing, for varnholt_list_suites_together.
  set_property(GLOBAL APPEND_STRING PROPERTY VARNHOLT_SUITE_LISTINGS
"if(${due})
  list(APPEND stale COMMAND ${list_command} -DLEAVE_FAILURE_TO_CTEST=1 ${list_script})
endif()
")
endfunction()

# Called once every program is known: when ctest starts, the programs newer
# than their listing are listed all at once, beside each other, before each
# program's own include file looks (and finds its listing current). One
# after another they took seconds after every relink. A listing that fails
# here is listed again by its program's include, which reports it.
function(varnholt_list_suites_together)
  get_property(listings GLOBAL PROPERTY VARNHOLT_SUITE_LISTINGS)
  set(file ${CMAKE_BINARY_DIR}/suite_listings.cmake)
  # execute_process runs its commands at once, as one pipeline; none of
  # them writes to its output.
  file(GENERATE OUTPUT ${file} CONTENT "set(stale \"\")
${listings}if(stale)
  execute_process(\${stale} OUTPUT_QUIET ERROR_QUIET)
endif()
")
  set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY TEST_INCLUDE_FILES ${file})
endfunction()
