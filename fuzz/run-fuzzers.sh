#!/usr/bin/env bash
# Runs libFuzzer targets of a build (build/test unless --build names another)
# from their seed corpus (fuzz/corpus/<name>) for a number of executions
# each; new inputs go to a scratch folder, so the corpus in the repository
# only changes by hand. Fails on the first finding, whose input libFuzzer
# leaves in the scratch folder it names.
#   fuzz/run-fuzzers.sh [--build DIR] RUNS [target...]   (all targets when none is named)
set -euo pipefail
build=build/test
if [ "${1:-}" = --build ]; then
  build=$(realpath "$2")
  shift 2
fi
cd "$(dirname "$0")/.."
runs=$1
shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(profile_load profile_save camera_description state_file window_state v4l2_device
    still_image media_writer)
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Allocation stacks off: recording them costs a third of the time.
export ASAN_OPTIONS=${ASAN_OPTIONS:-malloc_context_size=0}
# Short runs take inputs in turn: the entropic schedule's bookkeeping took up
# to half of a few thousand runs' time, and it pays off only in long runs.
schedule=()
[ "$runs" -ge 100000 ] || schedule=(-entropic=0)
for target in "${targets[@]}"; do
  corpus=fuzz/corpus/$target
  [ "$target" = profile_save ] && corpus=fuzz/corpus/profile_load
  mkdir -p "$work/$target"
  if [ ! -x "$build/fuzz/fuzz_$target" ]; then
    echo "$build/fuzz/fuzz_$target is not built (make build-test)" >&2
    exit 1
  fi
  echo "fuzz_$target: $runs runs"
  if ! "$build/fuzz/fuzz_$target" -runs="$runs" "${schedule[@]}" -max_len=8192 -timeout=20 \
    -print_final_stats=1 -artifact_prefix="$work/$target-" "$work/$target" "$corpus" \
    >"$work/$target.log" 2>&1; then
    tail -n 60 "$work/$target.log"
    trap - EXIT
    echo "fuzz_$target found a fault; its input and log are in $work" >&2
    exit 1
  fi
  grep -E '^stat::number_of_executed_units|^Done' "$work/$target.log" || true
done
