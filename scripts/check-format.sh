#!/usr/bin/env bash
# Fails, naming the files, when a tracked C++ source differs from what
# clang-format (.clang-format) makes of it. With --fix, formats them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h')
else
  mapfile -t files < <(find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
fi
if [[ "${1:-}" == "--fix" ]]; then
  clang-format -i "${files[@]}"
  exit 0
fi
# Files unchanged since the last clean check (same size and modification
# time, same clang-format and style file) are not read again: the whole
# tree took a second of every make test. build/ is never tracked.
cache=build/format-check.cache
key="$(clang-format --version) $(stat -c '%s %.9Y' .clang-format 2>/dev/null || echo none)"
mapfile -t stamps < <(stat -c '%s %.9Y %n' "${files[@]}" 2>/dev/null || true)
declare -A clean=()
if [[ -f $cache && "$(head -n 1 "$cache")" == "$key" ]]; then
  while IFS= read -r line; do clean[$line]=1; done < <(tail -n +2 "$cache")
fi
declare -A unchanged=()
for line in "${stamps[@]}"; do
  [[ -n "${clean[$line]:-}" ]] && unchanged[${line#* * }]=1
done
changed=()
for f in "${files[@]}"; do
  [[ -n "${unchanged[$f]:-}" ]] || changed+=("$f")
done
# Batches of files per clang-format run, two at a time: one run per file
# spent most of its time starting clang-format. Each finding names its file.
status=0
report=""
if [[ ${#changed[@]} -gt 0 ]]; then
  report=$(printf '%s\0' "${changed[@]}" | xargs -0 -P 2 -n 64 clang-format --dry-run --Werror 2>&1) ||
    status=$?
fi
mapfile -t bad < <(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' \
  <<<"$report" | sort -u)
# clang-format failing for another reason (missing, unreadable file) fails too.
if [[ $status -ne 0 && ${#bad[@]} -eq 0 ]]; then
  echo "clang-format failed:" >&2
  echo "$report" >&2
  exit 1
fi
if [[ ${#bad[@]} -gt 0 ]]; then
  echo "Not formatted (scripts/check-format.sh --fix formats them):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
if [[ $status -eq 0 ]] && mkdir -p build 2>/dev/null; then
  { echo "$key"; printf '%s\n' "${stamps[@]}"; } >"$cache.$$" && mv "$cache.$$" "$cache" || true
fi
