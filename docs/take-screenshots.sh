#!/bin/sh
# Takes the pictures in docs/ from the real windows under a window manager.
#   docs/take-screenshots.sh [BUILD_DIR]     (default build/release)
set -eu
docs=$(cd "$(dirname "$0")" && pwd)
build=${1:-$docs/../build/release}
shot=$build/tests/app/window_shot
wm=$docs/../tests/app/run-under-wm.sh
[ -x "$shot" ] || { echo "build window_shot first (cmake --build $build)" >&2; exit 1; }

"$wm" "$shot" "$docs/screenshot.png" --width 734
VARNHOLT_TEST_SCREEN=1440x800 "$wm" "$shot" "$docs/camera-test.png" --width 734 --camera-test
"$wm" "$shot" "$docs/screenshot-narrow.png" --width 420
"$wm" "$shot" "$docs/screenshot-narrowest.png" --width 250
VARNHOLT_TEST_SCREEN=1280x700 "$wm" "$shot" "$docs/screenshot-short-screen.png" --width 734
