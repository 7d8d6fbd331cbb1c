#!/usr/bin/env bash
# setup.sh: installs every package the build, the tests and the benchmarks need. Idempotent.
set -euo pipefail
# --help prints the comment above.
if [[ ${1-} == -h || ${1-} == --help ]]; then
  awk 'NR > 1 && !/^#/ { exit } NR > 1 && !/^#SBATCH/ { sub(/^# ?/, ""); print }' "$0"
  exit 0
fi
(($# == 0)) || { echo "usage: $0 (no arguments; --help says what it does)" >&2; exit 2; }
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
