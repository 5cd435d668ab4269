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
# Batches of files per clang-format run, two at a time: one run per file
# spent most of its time starting clang-format. Each finding names its file.
status=0
report=$(printf '%s\0' "${files[@]}" | xargs -0 -P 2 -n 64 clang-format --dry-run --Werror 2>&1) ||
  status=$?
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
