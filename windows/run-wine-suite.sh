#!/bin/sh
# Builds the Windows side (windows/CMakeLists.txt) with mingw-w64 into
# BUILD_DIR/build and runs its tests under Wine, in a Wine prefix kept in
# BUILD_DIR/prefix: made once, it lasts as long as the build folder. One
# X server (Xvfb, for the video renderer's Direct3D) and one wineserver
# serve every test. Fails, saying why, when anything is missing, does not
# build or does not pass.
#
# usage: windows/run-wine-suite.sh BUILD_DIR [--prepare | ctest arguments...]
# --prepare builds and makes the prefix only: the Linux build runs it, so
# that the test itself only runs the tests.
set -eu

if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD_DIR [ctest arguments...]" >&2
  exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
mkdir -p "$1"
out=$(cd "$1" && pwd)  # Wine wants absolute paths
shift

fail() {
  echo "run-wine-suite: $*" >&2
  exit 1
}

# What it needs, by Debian package (scripts/setup-deps.sh installs them).
need() {
  command -v "$1" >/dev/null 2>&1 || [ -x "$1" ] || fail "$1 is missing (Debian package $2)"
}
need x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64-posix
need x86_64-w64-mingw32-gcc-posix gcc-mingw-w64-x86-64-posix
need /usr/lib/wine/wine64 wine64
need /usr/lib/wine/wineserver64 wine64
need xvfb-run xvfb
need xauth xauth
need cmake cmake
need ninja ninja-build
[ -f /usr/src/googletest/CMakeLists.txt ] || fail "/usr/src/googletest is missing (Debian package googletest)"

export WINEPREFIX="$out/prefix"
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installers, no sound driver.
export WINEDLLOVERRIDES="mscoree,mshtml=;winealsa.drv=d"
export WINESERVER=/usr/lib/wine/wineserver64
export WINE=/usr/lib/wine/wine64
export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
unset DISPLAY WAYLAND_DISPLAY

start=$(date +%s)
# The prefix is made once, beside the build: wineboot mostly waits.
prefix_pid=""
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "run-wine-suite: making the Wine prefix $WINEPREFIX (once)"
  rm -rf "$WINEPREFIX"
  ( "$WINE" wineboot --init && "$WINESERVER" -w ) >"$out/prefix.log" 2>&1 </dev/null &
  prefix_pid=$!
fi
werror=${VARNHOLT_WERROR:-ON}
# A test build: unity batches and -O1 take a third of the compile time of
# per-file -O3, and the tests need no speed.
cmake -S "$root/windows" -B "$out/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/windows/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O1 -DCMAKE_C_FLAGS_RELEASE=-O1 \
  -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=16 \
  -DVARNHOLT_WERROR="$werror" >"$out/configure.log" 2>&1 ||
  { cat "$out/configure.log" >&2; fail "configuring the Windows build failed"; }
build_status=0
cmake --build "$out/build" -j2 || build_status=$?
built=$(date +%s)
if [ -n "$prefix_pid" ] && ! wait "$prefix_pid"; then
  cat "$out/prefix.log" >&2
  rm -rf "$WINEPREFIX"
  fail "wineboot could not make the prefix"
fi
[ "$build_status" -eq 0 ] || fail "the Windows build failed"
prefixed=$(date +%s)
if [ "${1:-}" = "--prepare" ]; then
  echo "run-wine-suite: build $((built - start)) s, then the prefix $((prefixed - built)) s more"
  exit 0
fi

# The tests' own fixture (vcam_register) registers the camera DLL first.
status=0
xvfb-run -a sh -c '
  "$WINESERVER" -p
  trap "\"\$WINESERVER\" -k" EXIT
  "$WINE" wineboot </dev/null >/dev/null 2>&1
  ctest --test-dir "$0" --output-on-failure --timeout 120 "$@"
' "$out/build" "$@" || status=$?
done_at=$(date +%s)
echo "run-wine-suite: build $((built - start)) s, then the prefix $((prefixed - built)) s more, tests $((done_at - prefixed)) s"
[ "$status" -eq 0 ] || fail "Windows tests failed (ctest exit $status); the log is above"
