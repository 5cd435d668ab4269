# The uvcvideo suite's run inside one boot (busybox sh, sourced by
# run-in-vm.sh --script): varnholt_vm_uvc_tests first without the life-cycle
# suites, on the camera the runner started; then, for each life-cycle suite,
# a camera of its own started afresh from /test/helper with the suite's
# options, the suite in a process of its own, and the camera stopped until
# its nodes are gone. A suite may kill its camera (UVC_CAM_PID) or needs
# options the shared camera lacks, so none of them shares one.
#
# Each suite's camera logs to /out/uvc-cam-SUITE.log (UVC_CAM_LOG) and its
# stderr to /out/helper-SUITE.log. VM_GTEST_EXCLUDE (gtest patterns,
# colon-separated) leaves suites out of every run. Arguments go to every
# run of the program.
rc=0
life="UvcKilledWhileStreaming UvcKilledDuringARead UvcKilledDuringAWrite UvcAllExposureModes
  UvcSmallCamera UvcReplugged UvcRestoredOnReplug UvcRestoredByLateLink UvcNoControls
  UvcFailingControl"
exclude=${VM_GTEST_EXCLUDE:+:$VM_GTEST_EXCLUDE}

# The emulated camera's options per suite (besides its log).
camera_options() {
  case $1 in
    UvcAllExposureModes) echo "--ae-modes 0x0f" ;;
    # Only the auto-exposure mode (CT bit 1) and brightness (PU bit 0).
    UvcSmallCamera) echo "--ct-controls 0x2 --pu-controls 0x1" ;;
    UvcNoControls) echo "--ct-controls 0 --pu-controls 0" ;;
    UvcFailingControl) echo "--fail-range contrast" ;;
    *) echo "" ;;
  esac
}

# The camera's nodes: uvcvideo makes a capture and a metadata node.
node_count() { ls /dev/video* 2>/dev/null | wc -l; }

# Waits (generously: the VM emulates its CPU) for the nodes to come or go.
wait_nodes() { # $1 = "up" or "gone"
  i=0
  while [ $i -lt 600 ]; do
    n=$(node_count)
    if [ "$1" = up ] && [ "$n" -ge 2 ]; then return 0; fi
    if [ "$1" = gone ] && [ "$n" -eq 0 ]; then return 0; fi
    usleep 100000
    i=$((i + 1))
  done
  return 1
}

# Stops a camera: SIGKILL (a killed camera is what the suites test, and
# the program has nothing to flush), then its nodes must go before the next
# camera comes, or uvcvideo would number the new ones after the old.
stop_camera() { # $1 = pid
  kill -9 "$1" 2>/dev/null
  wait "$1" 2>/dev/null
  wait_nodes gone
}

skip=""
for suite in $life; do skip="$skip${skip:+:}$suite.*"; done
runner_camera=$(pidof helper)
UVC_CAM_PID=$runner_camera "$VM_PROG" "--gtest_filter=*-$skip$exclude" "$@"
rc=$?

if [ -z "$runner_camera" ]; then
  echo "uvc-suite: the runner's camera is not running"
  [ $rc -ne 0 ] || rc=125
elif ! stop_camera "$runner_camera"; then
  echo "uvc-suite: the runner's camera left its nodes behind: $(ls /dev/video*)"
  exit 125
fi

for suite in $life; do
  filter="$suite.*${VM_GTEST_EXCLUDE:+-$VM_GTEST_EXCLUDE}"
  # Nothing left of the suite: no camera needed. Asked only when something
  # is excluded: a listing is a program start, half a second emulated.
  [ -z "$VM_GTEST_EXCLUDE" ] || "$VM_PROG" --gtest_list_tests "--gtest_filter=$filter" |
    grep -q '^  ' || continue
  log=/out/uvc-cam-$suite.log
  # shellcheck disable=SC2046 # the options are words
  /test/helper --log "$log" $(camera_options "$suite") </dev/null >"/out/helper-$suite.log" 2>&1 &
  pid=$!
  if ! wait_nodes up; then
    echo "uvc-suite: no capture node from the camera for $suite:"
    tail -5 "/out/helper-$suite.log"
    rc=125
    stop_camera "$pid" || exit 125
    continue
  fi
  UVC_CAM_PID=$pid UVC_CAM_LOG=$log UVC_CAM_SUITE=$suite "$VM_PROG" "--gtest_filter=$filter" "$@"
  r=$?
  [ $rc -ne 0 ] || rc=$r
  if ! stop_camera "$pid"; then
    echo "uvc-suite: the camera of $suite left its nodes behind: $(ls /dev/video*)"
    exit 125
  fi
done
exit $rc
