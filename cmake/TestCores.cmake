# The suite shares the machine's cores through a CTest resource, "cores",
# with two slots per core (the make targets write them to cores.json and
# hand that file to ctest). A test that computes takes a core, two slots.
# A test that waits about half its time (on a VM's clock, on real time)
# takes one, so that another such test or half of one that computes fits
# beside it; a test that mostly waits takes none and runs beside the
# others. Run without cores.json, ctest ignores the slots and -j alone
# counts.
#
# Measured alone: the tests that spend under a third of their time on a
# processor, and those that spend about half to two thirds.
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
# The VM suites wait on their emulated clock about a third of their time.
# The vivid one takes a core all the same: starved beside two others, the
# guest's sound capture fell behind its picture by more than its recording
# test allows. The uvcvideo one records no sound and takes half a core.
set(VARNHOLT_HALF_WAITING_TESTS
  vm_uvc
  test_matrix.FaultMatrix.VarnholtctlCommands
  test_cli.Record
  test_soak.Soak
  test_stream_long.StreamLong)

# varnholt_take_slots(TEST) for ctest: read first of all (the top folder's
# include), so that every folder's tests can take their slots.
set(VARNHOLT_TEST_SLOTS_FILE ${CMAKE_BINARY_DIR}/test_slots.cmake)
file(CONFIGURE OUTPUT ${VARNHOLT_TEST_SLOTS_FILE} CONTENT [==[
function(varnholt_take_slots test)
  set(waiting "@VARNHOLT_WAITING_TESTS@")
  set(half "@VARNHOLT_HALF_WAITING_TESTS@")
  list(FIND waiting "${test}" waits)
  list(FIND half "${test}" halves)
  if(NOT waits EQUAL -1)
    return()
  endif()
  set(slots 2)
  if(NOT halves EQUAL -1)
    set(slots 1)
  endif()
  set_tests_properties("${test}" PROPERTIES RESOURCE_GROUPS cores:${slots})
endfunction()
]==] @ONLY)
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY TEST_INCLUDE_FILES
  ${VARNHOLT_TEST_SLOTS_FILE})

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

# Gives their slots to the tests add_test made. A test's properties can
# only be set in its own folder at configure time, but ctest sets them
# anywhere once the test is known: the calls go into a file that a folder
# added last (tests/cores) has ctest read after every other. The GoogleTest
# suites and cases, known only when ctest lists them, take theirs where
# they are listed (GTestSuites.cmake, tests/CMakeLists.txt).
function(varnholt_share_cores)
  varnholt_tests_under(${CMAKE_SOURCE_DIR} tests)
  set(content "")
  foreach(test IN LISTS tests)
    string(APPEND content "varnholt_take_slots([==[${test}]==])\n")
  endforeach()
  set(VARNHOLT_TEST_CORES_FILE ${CMAKE_BINARY_DIR}/test_cores.cmake)
  file(WRITE ${VARNHOLT_TEST_CORES_FILE} "${content}")
  add_subdirectory(${CMAKE_SOURCE_DIR}/tests/cores ${CMAKE_BINARY_DIR}/tests/cores)
endfunction()
