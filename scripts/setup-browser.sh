#!/usr/bin/env bash
# Installs Debian's chromium, which the page-rendering test of the sandbox inspector uses to open
# the HTML page headless. Idempotent: does nothing when chromium is installed.
set -euo pipefail
if dpkg-query -W -f='${Status}' chromium 2>/dev/null | grep -q "install ok installed"; then
  exit 0
fi
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq chromium
