#!/usr/bin/env bash
# build.sh DIR [cmake args...]: configures (once) and builds the whole tree into DIR, with warnings
# as errors (QVR_WERROR; a later -DQVR_WERROR=OFF in the arguments wins).
set -euo pipefail
dir=$1; shift
cmake -S "$(dirname "$0")/.." -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} \
  -DQVR_WERROR=ON "$@" >/dev/null
cmake --build "$dir" -j "${JOBS:-$(nproc)}"
