#!/usr/bin/env bash
# Runs clang-tidy over the module, the sandbox, the tools and the workbench, using BUILD_DIR's compile commands.
# Fails when clang-tidy fails or prints any warning or error.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
git ls-files 'QVRAdKit/*.cpp' 'Sandbox/*.cpp' 'tools/*.cpp' 'Workbench/*.cpp' \
  | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet >"$log" 2>&1 || status=$?
# clang-tidy's own progress lines are noise; everything else is a finding.
grep -v -E '^[0-9]+ warnings? generated|^Suppressed [0-9]+ warnings|^Use -header-filter' "$log" || true
if [ "$status" -ne 0 ] || grep -q -E '(warning|error):' "$log"; then
  echo "clang-tidy found problems (exit $status)" >&2
  exit 1
fi
echo "clang-tidy: clean"
