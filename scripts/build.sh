#!/usr/bin/env bash
# build.sh DIR [cmake args...]: configures (once) and builds the whole tree into DIR.
set -euo pipefail
dir=$1; shift
cmake -S "$(dirname "$0")/.." -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} "$@" >/dev/null
cmake --build "$dir" -j "${JOBS:-$(nproc)}"
