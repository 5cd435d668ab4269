#!/usr/bin/env bash
# Start-up to the first shown window: Varnholt, a bare Qt 6 window and qv4l2
# (Debian's V4L2 test bench, when installed), started in turn N times on one
# Xvfb display with openbox. Each run times process start to the first
# mapped window and reads the CPU time and resident memory then, and the
# memory again after a settle time (bench_show_waiter). Varnholt and the
# bare window also report their first paint. Varnholt runs on the virtual
# cameras, each run in a fresh home. Builds nothing: build varnholt,
# bench_bare_window and bench_show_waiter first.
#
# Usage: bench/startup.sh [-n RUNS] [-b BUILD_DIR] [--settle-ms MS]
#        (VARNHOLT_STARTUP_TRACE=1 build/release/app/varnholt prints each step)
set -euo pipefail

runs=10
build="build/release"
settle=1000
goal=0.6
bare_per_qv4l2=0.53  # a bare Qt 6 window against qv4l2, measured on Xvfb
while [[ $# -gt 0 ]]; do
  case "$1" in
    -n) runs="$2"; shift 2 ;;
    -b) build="$2"; shift 2 ;;
    --settle-ms) settle="$2"; shift 2 ;;
    -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
    *) echo "startup.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done

root="$(cd "$(dirname "$0")/.." && pwd)"
[[ "$build" = /* ]] || build="$root/$build"
varnholt="$build/app/varnholt"
bare="$build/bench/bench_bare_window"
waiter="$build/bench/bench_show_waiter"
for program in "$varnholt" "$bare" "$waiter"; do
  if [[ ! -x "$program" ]]; then
    echo "startup.sh: $program is not built" \
      "(cmake --build $build --target varnholt bench_bare_window bench_show_waiter)" >&2
    exit 1
  fi
done

# Inside the display: one Xvfb for every run, openbox as a real desktop has.
if [[ -z "${STARTUP_USE_DISPLAY:-}" ]]; then
  command -v xvfb-run >/dev/null || { echo "startup.sh: xvfb-run is missing" >&2; exit 1; }
  args=(-n "$runs" -b "$build" --settle-ms "$settle")
  exec env STARTUP_USE_DISPLAY=1 xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "${args[@]}"
fi

scratch="$(mktemp -d)"
wm_pid=""
cleanup() {
  [[ -n "$wm_pid" ]] && kill "$wm_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
if command -v openbox >/dev/null; then
  openbox >/dev/null 2>&1 &
  wm_pid=$!
  # Wait until openbox has taken the display (its check window exists).
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.05
  done
else
  echo "note: openbox is not installed; windows are not framed"
fi

programs=(varnholt bare)
qv4l2="$(command -v qv4l2 || true)"
[[ -n "$qv4l2" ]] && programs+=(qv4l2)

# Each run in a fresh home and runtime folder: a first start, with no state
# file, settings or virtual-camera state from this machine.
run_one() {
  local name="$1" home="$scratch/home-$2-$1"
  mkdir -p "$home/.config" "$home/.cache" "$home/.local/share" "$home/run" "$home/Documents"
  chmod 700 "$home/run"
  local command=()
  case "$name" in
    varnholt) command=("$varnholt") ;;
    bare) command=("$bare") ;;
    qv4l2) command=("$qv4l2") ;;
  esac
  env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
    XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$home/run" \
    VARNHOLT_PLATFORM=virtual VARNHOLT_REPORT_FIRST_PAINT=1 QT_QPA_PLATFORM=xcb \
    "$waiter" --settle-ms "$settle" -- "${command[@]}" >"$scratch/out" 2>"$scratch/err" || {
    echo "startup.sh: $name failed:" >&2
    cat "$scratch/err" >&2
    exit 1
  }
  local line paint
  line="$(grep '^map_ms=' "$scratch/out")"
  paint="$(sed -n 's/^first_paint_ms=//p' "$scratch/err" | head -1)"
  echo "$name $line first_paint_ms=${paint:--}" >>"$scratch/results"
  echo "run $2 $name $line first_paint_ms=${paint:--}"
  rm -rf "$home"
}

# One start of each that is not counted: the font and shader caches of the
# display and the page cache then hold for every counted run alike.
for name in "${programs[@]}"; do run_one "$name" warm >/dev/null; done
: >"$scratch/results"
for i in $(seq "$runs"); do
  for name in "${programs[@]}"; do run_one "$name" "$i"; done
done

median() {  # program field
  awk -v p="$1" -v f="$2" '$1 == p { for (i = 2; i <= NF; ++i) { split($i, kv, "=");
    if (kv[1] == f && kv[2] != "-") print kv[2] } }' "$scratch/results" | sort -g |
    awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else if (NR % 2) print v[(NR + 1) / 2];
      else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

echo
echo "Medians of $runs alternating runs (display $DISPLAY):"
printf '%-9s %10s %14s %10s %12s %16s\n' program map_ms first_paint_ms cpu_ms rss_MB settled_rss_MB
for name in "${programs[@]}"; do
  printf '%-9s %10s %14s %10s %12s %16s\n' "$name" "$(median "$name" map_ms)" \
    "$(median "$name" first_paint_ms)" "$(median "$name" cpu_ms)" \
    "$(awk -v k="$(median "$name" rss_kb)" 'BEGIN { printf "%.1f", k / 1024 }')" \
    "$(awk -v k="$(median "$name" settled_rss_kb)" 'BEGIN { printf "%.1f", k / 1024 }')"
done
echo
v=$(median varnholt map_ms)
b=$(median bare map_ms)
if [[ -n "$qv4l2" ]]; then
  q=$(median qv4l2 map_ms)
  awk -v v="$v" -v b="$b" -v q="$q" -v g="$goal" 'BEGIN {
    printf "varnholt/qv4l2 = %.2f   bare/qv4l2 = %.2f   goal %.2f: varnholt at %.2f of it\n",
      v / q, b / q, g, v / q / g }'
  # qv4l2 moves itself onto each processor in turn at start: on a machine
  # busy with other work it waits for each to be free, and its wall time
  # then says more about that work than about its start.
  awk -v q="$q" -v c="$(median qv4l2 cpu_ms)" -v vc="$(median varnholt cpu_ms)" 'BEGIN {
    printf "CPU time: varnholt/qv4l2 = %.2f\n", vc / c
    if (q > 3 * c) printf "note: qv4l2 waited for busy processors (%.0f ms wall, %.0f ms CPU): the machine is not idle\n", q, c }'
else
  awk -v v="$v" -v b="$b" -v r="$bare_per_qv4l2" -v g="$goal" 'BEGIN {
    printf "qv4l2 is not installed: the bare window stands in for it (bare = %.2f x qv4l2)\n", r
    printf "varnholt/bare = %.2f   varnholt/qv4l2 (estimated) = %.2f   goal %.2f: varnholt at %.2f of it\n",
      v / b, v / b * r, g, v / b * r / g }'
fi
