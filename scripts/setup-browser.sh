#!/usr/bin/env bash
# setup-browser.sh: installs what the page tests need: Debian's chromium (the inspector page and
# the workbench are opened headless), node with npm, and playwright-core (tests/Workbench/browser/,
# from its lock file; it drives the system chromium and downloads no browser). Idempotent.
set -euo pipefail
# shellcheck source=SCRIPTDIR/script-help.sh
source "$(dirname "${BASH_SOURCE[0]}")/script-help.sh"
answer_help "$0" "$@"
refuse_arguments "$0" "$@"
root=$(cd "$(dirname "$0")/.." && pwd)
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
missing=()
dpkg-query -W -f='${Status}' chromium 2>/dev/null | grep -q "install ok installed" || missing+=(chromium)
command -v node >/dev/null || missing+=(nodejs)
command -v npm >/dev/null || missing+=(npm)
if ((${#missing[@]})); then
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
browser_test="$root/tests/Workbench/browser"
if [ ! -f "$browser_test/node_modules/playwright-core/package.json" ]; then
  (cd "$browser_test" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
fi
