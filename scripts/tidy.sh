#!/usr/bin/env bash
# tidy.sh [DIR]: runs clang-tidy over the module, the sandbox, the tools and the workbench. DIR
# (default build/tidy) is configured, not built, without the unity build, so that every file is
# checked on its own with its own compile command, as a file that leans on a neighbour's includes
# would fail to compile alone. Fails when clang-tidy fails or prints any warning or error.
set -euo pipefail
# shellcheck source=SCRIPTDIR/script-help.sh
source "$(dirname "${BASH_SOURCE[0]}")/script-help.sh"
answer_help "$0" "$@"
if (($# > 1)) || [[ ${1-} == -* ]]; then
  echo "usage: $0 [DIR] (default build/tidy; a DIR starting with - as ./-DIR)" >&2
  exit 2
fi
build=${1:-build/tidy}
for tool in cmake clang-tidy; do
  command -v "$tool" >/dev/null || { echo "tidy: $tool is not on PATH (scripts/setup.sh)" >&2; exit 2; }
done
cd "$(dirname "$0")/.."
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQVR_UNITY_BUILD=OFF >/dev/null
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
