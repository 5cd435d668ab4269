#!/bin/sh
# Runs a test program in a real X session: Xvfb with the openbox window
# manager, so that windows get frames, placement and the geometry a user's
# desktop gives them. The program's arguments follow the script's;
# VARNHOLT_TEST_SCREEN sets the screen's size (default 1280x800).
set -eu
exec xvfb-run -a -s "-screen 0 ${VARNHOLT_TEST_SCREEN:-1280x800}x24" sh -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  # The manager announces itself on the root window once it runs.
  i=0
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
    i=$((i + 1))
    [ $i -le 200 ] || { echo "run-under-wm: openbox did not start" >&2; exit 125; }
    sleep 0.05
  done
  VARNHOLT_TEST_PLATFORM=xcb "$@"
  rc=$?
  kill $wm 2>/dev/null || true
  exit $rc' sh "$@"
