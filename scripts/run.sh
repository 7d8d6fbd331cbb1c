#!/usr/bin/env bash
# run.sh [qvr-sandbox options...]: installs what is missing, builds build/run from scratch (Release,
# laid out by profile feedback) and runs the sandbox host with the options given (none: its default
# configuration). build/run/qvr-sandbox --help lists the options.
set -euo pipefail
# --help prints the comment above.
if [[ ${1-} == -h || ${1-} == --help ]]; then
  awk 'NR > 1 && !/^#/ { exit } NR > 1 && !/^#SBATCH/ { sub(/^# ?/, ""); print }' "$0"
  exit 0
fi
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
rm -rf "$root/build/run"
"$root/scripts/build-profiled.sh" "$root/build/run" -DQVR_BUILD_TESTS=OFF -DQVR_BUILD_BENCH=OFF
"$root/build/run/qvr-sandbox" "$@"
