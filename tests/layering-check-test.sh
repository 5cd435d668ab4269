#!/bin/sh
# The layering check on a made-up tree: every kind of upward include is named,
# allowed ones are not, and a clean tree passes in silence.
check=$(dirname "$0")/layering-check.sh
tree=$(mktemp -d) || exit 2
trap 'rm -rf "$tree"' EXIT
fail() { echo "$*"; exit 1; }

put() { mkdir -p "$tree/$(dirname "$1")" && printf '%s\n' "$2" >"$tree/$1"; }
put camera/platform/graph/Up.cpp '#include "camera/FCamera.h"'
put camera/platform/v4l2/device/Ok.h '#include "camera/platform/HResult.h"'
put camera/platform/v4l2/device/Ok.cpp '#include "camera/platform/v4l2/device/ErrnoText.h"'
put camera/platform/v4l2/device/Up.cpp '#include "camera/platform/v4l2/V4l2Errors.h"'
put camera/FCamera.cpp '#include "pixels/ConvertYUY2.h"'
put controls/Up.h '  #  include <app/FormMain.h>'
put platform/Up.cpp '#include "camera/CameraTypes.h"'
put pixels/Up.cpp '#include "app/Look.h"'
put pixels/Ok.cpp '#include "platform/Exception.h"'
put media/Up.cpp '#include "camera/platform/graph/FilterGraph.h"'
put media/Ok.cpp '#include "pixels/ConvertYUY2.h"'

out=$(sh "$check" "$tree") && fail "an upward include passed"
for file in camera/platform/graph/Up.cpp: camera/platform/v4l2/device/Up.cpp: controls/Up.h: platform/Up.cpp: pixels/Up.cpp: media/Up.cpp:; do
  echo "$out" | grep -q "^$file" || fail "not named: $file in: $out"
done
[ "$(echo "$out" | wc -l)" -eq 6 ] || fail "more than the six upward includes: $out"

rm "$tree"/*/Up.* "$tree"/camera/platform/graph/Up.cpp "$tree"/camera/platform/v4l2/device/Up.cpp
out=$(sh "$check" "$tree") || fail "a clean tree failed: $out"
[ -z "$out" ] || fail "a clean tree printed: $out"
