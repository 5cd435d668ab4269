# The VM suite's run inside one boot (busybox sh, sourced by run-in-vm.sh):
# varnholt_vm_tests first without the suites that unplug or remove vivid,
# then each of those in a process of its own on a freshly loaded vivid (an
# unplugged vivid comes back only when its last user lets go; rmmod wants
# no user at all), then the suite of two
# identical cameras on two vivid instances. VM_GTEST_EXCLUDE (gtest patterns, colon-separated) leaves suites
# out of every run. Arguments go to every run of the program.
rc=0
# The suite's filter, less the exclusions; whether anything is left of it.
# The latter is asked only when something is excluded: a listing is a
# program start, half a second emulated.
filter_of() { echo "$1.*${VM_GTEST_EXCLUDE:+-$VM_GTEST_EXCLUDE}"; }
has_tests() { [ -z "$VM_GTEST_EXCLUDE" ] || "$VM_PROG" --gtest_list_tests "--gtest_filter=$1" | grep -q '^  '; }
unplugging="VividUnplug.*:VividStreamUnplug.*:VividRestoredOnReload.*:VividTwins.*"
exclude=${VM_GTEST_EXCLUDE:+:$VM_GTEST_EXCLUDE}

"$VM_PROG" "--gtest_filter=*-$unplugging$exclude" "$@"
rc=$?

for suite in VividUnplug VividStreamUnplug VividRestoredOnReload; do
  filter=$(filter_of "$suite")
  # Nothing left of the suite: no need for a fresh vivid.
  has_tests "$filter" || continue
  if ! vm-modules reload vivid; then
    echo "vivid-suite: cannot reload vivid for $suite"
    rc=125
    continue
  fi
  "$VM_PROG" "--gtest_filter=$filter" "$@"
  r=$?
  [ $rc -ne 0 ] || rc=$r
done

# Two vivid instances: one card name, two bus positions.
filter=$(filter_of VividTwins)
if has_tests "$filter"; then
  if vm-modules reload vivid n_devs=2 node_types=0x1,0x1 num_inputs=1,1 input_types=0x0,0x0 \
    multiplanar=1,1 no_error_inj=1; then
    "$VM_PROG" "--gtest_filter=$filter" "$@"
    r=$?
    [ $rc -ne 0 ] || rc=$r
  else
    echo "vivid-suite: cannot load two vivid instances"
    rc=125
  fi
fi
exit $rc
