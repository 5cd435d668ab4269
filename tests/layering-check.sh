#!/bin/sh
# Dependencies point down only. Names every include that points up, one line
# each as file:line: include -- rule, and fails; prints nothing when there is
# none. Usage: layering-check.sh [source root]
cd "${1:-.}" || exit 2

found=$(mktemp) || exit 2
trap 'rm -f "$found"' EXIT

inc='[[:space:]]*#[[:space:]]*include[[:space:]]*["<]'

# includes DIR PATTERN [ALLOWED]: the includes under DIR whose path matches
# PATTERN and not ALLOWED, as file:line:text. /dev/null makes grep name the
# file even when there is only one.
includes() {
  [ -d "$1" ] || return 0
  find "$1" -type f \( -name '*.h' -o -name '*.cpp' \) -exec grep -nE "^$inc($2)" /dev/null {} + |
    if [ -n "$3" ]; then grep -vE ":[0-9]+:$inc($3)"; else cat; fi
}

# rule REASON: reports what came in on standard input.
rule() {
  while IFS= read -r hit; do
    printf '%s -- %s\n' "$hit" "$1"
    echo >>"$found"
  done
}

includes camera/platform 'camera/' 'camera/platform/' |
  rule 'nothing under camera/platform/ includes camera/ outside it'
includes camera/platform/v4l2/device 'camera/platform/v4l2/' 'camera/platform/v4l2/device/' |
  rule 'nothing under camera/platform/v4l2/device/ includes camera/platform/v4l2/ outside it'
for dir in controls platform; do
  includes "$dir" 'app/|camera/' | rule "nothing in $dir/ includes app/ or camera/"
done
includes pixels 'app/|camera/' | rule 'nothing in pixels/ includes app/ or camera/'
includes media 'app/|controls/|camera/' | rule 'nothing in media/ includes app/, controls/ or camera/'
# The command line stands beside the window, on the layers below both.
includes cli 'app/|controls/' | rule 'nothing in cli/ includes app/ or controls/'
for dir in app camera controls media pixels platform settings; do
  includes "$dir" 'cli/' | rule "nothing in $dir/ includes cli/"
done

[ ! -s "$found" ]
