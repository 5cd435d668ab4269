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
bad=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [[ ${#bad[@]} -gt 0 ]]; then
  echo "Not formatted (scripts/check-format.sh --fix formats them):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
