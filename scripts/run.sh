#!/usr/bin/env bash
# run.sh [qvr-sandbox options...]: installs what is missing, builds build/run from scratch (Release,
# laid out by profile feedback) and runs the sandbox host with the options given (none: its default
# configuration). build/run/qvr-sandbox --help lists the options.
set -euo pipefail
# shellcheck source=SCRIPTDIR/script-help.sh
source "$(dirname "${BASH_SOURCE[0]}")/script-help.sh"
answer_help "$0" "$@"
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
rm -rf "$root/build/run"
"$root/scripts/build-profiled.sh" "$root/build/run" -DQVR_BUILD_TESTS=OFF -DQVR_BUILD_BENCH=OFF
"$root/build/run/qvr-sandbox" "$@"
