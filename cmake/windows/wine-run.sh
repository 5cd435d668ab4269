#!/bin/sh
# Runs one Windows program under Wine for CTest (the toolchain's emulator).
#
# The first Wine process of a session starts helpers (services.exe,
# winedevice.exe, explorer.exe) that live on after it and inherit whatever
# file descriptors it had. Handed CTest's pipes, they keep them open, and
# CTest waits for their end: seconds per test, or until the timeout when the
# wineserver is kept running. So the program writes into files here, which
# are passed on when it has ended; its exit code is passed on as it is.
#
# WINEPREFIX and the rest come from the caller (windows/run-wine-suite.sh);
# WINE names another loader.
wine=${WINE:-/usr/lib/wine/wine64}
if [ ! -x "$wine" ]; then
  echo "wine-run.sh: $wine is missing (Debian package wine64)" >&2
  exit 127
fi
out=$(mktemp) || exit 125
err=$(mktemp) || { rm -f "$out"; exit 125; }
trap 'rm -f "$out" "$err"' EXIT
"$wine" "$@" </dev/null >"$out" 2>"$err"
rc=$?
cat "$out"
cat "$err" >&2
exit $rc
