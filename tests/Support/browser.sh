# Sourced by the tests that drive Debian's headless Chromium. Sets $browser to its path (empty
# when it is not installed); require_or_skip MISSING... ends the test when anything is missing:
# skipped (exit 77), or failed (exit 1) when QVR_REQUIRE_CHROMIUM=1 says it must run.
browser=$(command -v chromium || command -v chromium-browser || true)

require_or_skip() {
  [ $# -eq 0 ] && return 0
  if [ "${QVR_REQUIRE_CHROMIUM:-0}" = 1 ]; then
    echo "required (QVR_REQUIRE_CHROMIUM=1) but missing: $*" >&2
    exit 1
  fi
  echo "missing: $*: skipped (scripts/setup-browser.sh installs it)"
  exit 77
}
