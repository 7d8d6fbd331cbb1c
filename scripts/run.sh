#!/usr/bin/env bash
# Installs what is missing, builds from scratch (Release, laid out by profile feedback) and runs the
# sandbox host on its default configuration.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
rm -rf "$root/build/run"
"$root/scripts/build-profiled.sh" "$root/build/run" -DQVR_BUILD_TESTS=OFF -DQVR_BUILD_BENCH=OFF
"$root/build/run/qvr-sandbox" "$@"
