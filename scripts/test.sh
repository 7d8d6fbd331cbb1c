#!/usr/bin/env bash
# test.sh: installs what is missing, builds build/test from scratch and runs every test.
set -euo pipefail
# shellcheck source=SCRIPTDIR/script-help.sh
source "$(dirname "${BASH_SOURCE[0]}")/script-help.sh"
answer_help "$0" "$@"
refuse_arguments "$0" "$@"
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/setup-browser.sh"
rm -rf "$root/build/test"
"$root/scripts/build.sh" "$root/build/test"
ctest --test-dir "$root/build/test" --output-on-failure -j "$(nproc)"
