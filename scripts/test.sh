#!/usr/bin/env bash
# Installs what is missing, builds from scratch and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/setup-browser.sh"
rm -rf "$root/build/test"
"$root/scripts/build.sh" "$root/build/test"
ctest --test-dir "$root/build/test" --output-on-failure -j "$(nproc)"
