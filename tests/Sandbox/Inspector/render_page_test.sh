#!/usr/bin/env bash
# Renders the sandbox inspector's HTML page in headless Chromium and checks the rendered DOM: one
# table per placement and snapshot, one row per key, the state cells, and a hostile key name that
# stays text. Usage: render_page_test.sh QVR_SANDBOX [SCREENSHOT.png]
# Without chromium the test is skipped (exit 77) unless QVR_REQUIRE_CHROMIUM=1.
set -euo pipefail
sandbox=$1
screenshot=${2:-}

source "$(dirname "$0")/../../Support/browser.sh"
[ -n "$browser" ] || require_or_skip chromium

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The default configuration with one key renamed to markup that must be shown, not rendered.
# (sed: \\ gives the JSON escape of a quote, \& a plain ampersand.)
hostile='<b id=\\"hostile\\">low\&</b>'
"$sandbox" --print-default-config |
  sed "s|/sandbox/interstitial/connect-low|$hostile|g" >"$work/config.json"
"$sandbox" --config "$work/config.json" --minutes 20 --seed 3 --events "$work/events.jsonl" \
  --inspect-at 0:30,10:00,20:00 --inspect-html "$work/page.html" >"$work/narration.txt"

browse() {
  timeout 90 "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$(mktemp -d -p "$work")" "$@" "file://$work/page.html"
}
browse --dump-dom 2>"$work/chromium.log" >"$work/dom.html" || {
  cat "$work/chromium.log" >&2
  exit 1
}

fail=0
check() {  # check DESCRIPTION EXPECTED ACTUAL
  if [ "$2" != "$3" ]; then
    echo "FAIL: $1: expected $2, found $3" >&2
    fail=1
  fi
}
count() { grep -o -- "$1" "$work/dom.html" | wc -l | tr -d ' '; }

snapshots=3
check "snapshot sections" "$snapshots" "$(count '<section class="snapshot"')"
for placement in "interstitial connect" "interstitial disconnect" "interstitial appLaunch" \
  "app-open main" "app-open appLaunch" "rewarded timewall"; do
  check "tables of $placement" "$snapshots" "$(count "data-placement=\"$placement\"")"
done
# Keys: connect 3, disconnect 2, one each for the other four placements.
check "key rows" "$((snapshots * 9))" "$(count '<tr class="key"')"
check "rows of /sandbox/app-open/main" "$snapshots" \
  "$(count 'data-key="/sandbox/app-open/main"')"
check "rows of disconnect_fallback" "$snapshots" "$(count 'data-key="disconnect_fallback"')"
check "state cells" "$((snapshots * 9))" "$(count '<td class="state state-')"
# Once the ads have loaded some key shows a loaded ad.
if [ "$(count 'state state-loaded')" -lt 1 ]; then
  echo "FAIL: no loaded ad on the page" >&2
  fail=1
fi
# The hostile key is text in a cell: no element was made from it.
check "elements made from a key" 0 "$(count '<b id="hostile"')"
check "hostile key shown as text" "$snapshots" "$(count '<td>&lt;b id="hostile"&gt;low&amp;&lt;/b&gt;</td>')"

if [ -n "$screenshot" ]; then
  browse --screenshot="$screenshot" --window-size=1200,2400 --hide-scrollbars \
    2>>"$work/chromium.log" >/dev/null
fi

if [ "$fail" -ne 0 ]; then
  echo "--- rendered DOM (head) ---" >&2
  head -c 4000 "$work/dom.html" >&2
  exit 1
fi
echo "inspector page rendered: $snapshots snapshots, $((snapshots * 9)) key rows"
