#!/usr/bin/env bash
# Runs the workbench's end-to-end test (workbench.test.mjs) in Debian's headless Chromium.
# Usage: run.sh QVR_SANDBOX SCREENSHOT_DIR
# Skipped (exit 77) without chromium, node or playwright-core (scripts/setup-browser.sh installs
# them) unless QVR_REQUIRE_CHROMIUM=1.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
browser=$(command -v chromium || command -v chromium-browser || true)
missing=""
[ -n "$browser" ] || missing="chromium"
command -v node >/dev/null || missing="$missing node"
[ -f "$here/node_modules/playwright-core/package.json" ] || missing="$missing playwright-core"
if [ -n "$missing" ]; then
  if [ "${QVR_REQUIRE_CHROMIUM:-0}" = 1 ]; then
    echo "required (QVR_REQUIRE_CHROMIUM=1) but missing:$missing" >&2
    exit 1
  fi
  echo "missing:$missing: skipped (scripts/setup-browser.sh installs them)"
  exit 77
fi
mkdir -p "$2"
exec node "$here/workbench.test.mjs" "$1" "$browser" "$2"
