#!/usr/bin/env bash
# test.sh: installs what is missing, builds build/test from scratch and runs every test.
set -euo pipefail
# --help prints the comment above.
if [[ ${1-} == -h || ${1-} == --help ]]; then
  awk 'NR > 1 && !/^#/ { exit } NR > 1 && !/^#SBATCH/ { sub(/^# ?/, ""); print }' "$0"
  exit 0
fi
(($# == 0)) || { echo "usage: $0 (no arguments; --help says what it does)" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/setup-browser.sh"
rm -rf "$root/build/test"
"$root/scripts/build.sh" "$root/build/test"
ctest --test-dir "$root/build/test" --output-on-failure -j "$(nproc)"
