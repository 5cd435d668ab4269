# The suite shares the machine's cores through a CTest resource, "cores",
# with a slot per core (make test writes the spec file and passes it with
# --resource-spec-file). A test that computes takes a slot; a test that
# mostly waits (on real time, on Wine's server) takes none and runs beside
# the others, so that its waiting no longer holds a core idle. Without the
# spec file ctest ignores the slots and -j alone counts.
#
# The tests that wait: measured alone, each spends under half its time on
# a processor. Every other test takes a slot.
set(VARNHOLT_WAITING_TESTS
  test_recording.Containers/RecordingCases
  test_recording.CameraRecording
  test_controls.SingleCopy
  test_graph.GrabberTest
  test_graph.TeeTest
  test_graph.SoundTest
  test_v4l2.V4l2NodeWatchTest
  test_camera.DirectoryWatchTest
  test_app_live.LivecamReach
  test_app_live.Hotplug
  test_contract_virtual.Contract
  test_contract_v4l2.Contract)
set(VARNHOLT_TEST_CORES "cores:1")

# The tests add_test made under DIR and its subfolders, into OUT.
function(varnholt_tests_under dir out)
  get_property(tests DIRECTORY ${dir} PROPERTY TESTS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    varnholt_tests_under(${subdir} more)
    list(APPEND tests ${more})
  endforeach()
  set(${out} ${tests} PARENT_SCOPE)
endfunction()

# Gives a slot to every test add_test made that does not wait. A test's
# properties can only be set in its own folder at configure time, but
# ctest sets them anywhere once the test is known: the settings go into a
# file that a folder added last (tests/cores) has ctest read after every
# other. The GoogleTest suites, known only when ctest lists them, get
# theirs where they are listed (GTestSuites.cmake, gtest_discover_tests).
function(varnholt_share_cores)
  varnholt_tests_under(${CMAKE_SOURCE_DIR} tests)
  set(content "")
  foreach(test IN LISTS tests)
    if(NOT test IN_LIST VARNHOLT_WAITING_TESTS)
      string(APPEND content
        "set_tests_properties([==[${test}]==] PROPERTIES RESOURCE_GROUPS ${VARNHOLT_TEST_CORES})\n")
    endif()
  endforeach()
  set(VARNHOLT_TEST_CORES_FILE ${CMAKE_BINARY_DIR}/test_cores.cmake)
  file(WRITE ${VARNHOLT_TEST_CORES_FILE}.new "${content}")
  file(COPY_FILE ${VARNHOLT_TEST_CORES_FILE}.new ${VARNHOLT_TEST_CORES_FILE} ONLY_IF_DIFFERENT)
  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/cores ${CMAKE_BINARY_DIR}/tests/cores)
endfunction()
