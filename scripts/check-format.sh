#!/usr/bin/env bash
# check-format.sh: fails when a C++ file differs from what clang-format makes of it; exit 2 without clang-format.
set -euo pipefail
# --help prints the comment above.
if [[ ${1-} == -h || ${1-} == --help ]]; then
  awk 'NR > 1 && !/^#/ { exit } NR > 1 && !/^#SBATCH/ { sub(/^# ?/, ""); print }' "$0"
  exit 0
fi
(($# == 0)) || { echo "usage: $0 (no arguments; --help says what it does)" >&2; exit 2; }
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "check-format: clang-format is not on PATH (scripts/setup.sh)" >&2; exit 2; }
bad=0
while IFS= read -r -d '' f; do
  if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
    echo "needs clang-format: $f"
    bad=1
  fi
done < <(git ls-files -z '*.h' '*.cpp')
exit $bad
