#!/usr/bin/env bash
# Runs the workbench's end-to-end test (workbench.test.mjs) in Debian's headless Chromium.
# Usage: run.sh QVR_SANDBOX SCREENSHOT_DIR
# Skipped (exit 77) without chromium, node or playwright-core (scripts/setup-browser.sh installs
# them) unless QVR_REQUIRE_CHROMIUM=1.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../../Support/browser.sh"
missing=()
[ -n "$browser" ] || missing+=(chromium)
command -v node >/dev/null || missing+=(node)
[ -f "$here/node_modules/playwright-core/package.json" ] || missing+=(playwright-core)
require_or_skip "${missing[@]}"
mkdir -p "$2"
exec node "$here/workbench.test.mjs" "$1" "$browser" "$2"
