#!/usr/bin/env bash
# check-format.sh: fails when a C++ file differs from what clang-format makes of it; exit 2 without clang-format.
set -euo pipefail
# shellcheck source=SCRIPTDIR/script-help.sh
source "$(dirname "${BASH_SOURCE[0]}")/script-help.sh"
answer_help "$0" "$@"
refuse_arguments "$0" "$@"
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
