#!/usr/bin/env bash
# setup.sh: installs every package the build, the tests and the benchmarks need. Idempotent.
set -euo pipefail
# shellcheck source=SCRIPTDIR/script-help.sh
source "$(dirname "${BASH_SOURCE[0]}")/script-help.sh"
answer_help "$0" "$@"
refuse_arguments "$0" "$@"
packages=(build-essential cmake ninja-build g++ libgtest-dev libgmock-dev libbenchmark-dev pkgconf
  ccache libsqlite3-dev nlohmann-json3-dev libcli11-dev libexpat1-dev clang-format clang-tidy clang
  libclang-rt-14-dev libcpp-httplib-dev parallel time libfreetype-dev libharfbuzz-dev
  fonts-dejavu-core python3-kiwisolver libmimalloc-dev libboost-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
# Optional: RxCpp's headers let the stream benchmarks compare against it. Not every Debian release
# ships them, so a missing package is not an error.
optional=(librxcpp-dev)
for p in "${optional[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" && continue
  if apt-cache show "$p" >/dev/null 2>&1; then
    SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "$p" || echo "setup: $p not installed"
  fi
done
