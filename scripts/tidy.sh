#!/usr/bin/env bash
# Runs clang-tidy over the module, the sandbox and the tools, using BUILD_DIR's compile commands.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
files=$(git ls-files 'QVRAdKit/*.cpp' 'Sandbox/*.cpp' 'tools/*.cpp')
printf '%s\n' $files | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet 2>&1 \
  | grep -v -E '^[0-9]+ warnings? generated|^Suppressed [0-9]+ warnings|^Use -header-filter' \
  | tee /tmp/qvr-tidy.log
! grep -q -E '(warning|error):' /tmp/qvr-tidy.log
