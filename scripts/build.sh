#!/usr/bin/env bash
# build.sh DIR [cmake args...]: configures (once) and builds the whole tree into DIR, with warnings
# as errors (QVR_WERROR; a later -DQVR_WERROR=OFF in the arguments wins).
set -euo pipefail
# shellcheck source=SCRIPTDIR/script-help.sh
source "$(dirname "${BASH_SOURCE[0]}")/script-help.sh"
answer_help "$0" "$@"
# Paths relative to the tree, so that ccache shares objects between checkouts and build folders.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(cd "$(dirname "$0")/.." && pwd)} CCACHE_NOHASHDIR=1
if [[ -z ${1:-} || $1 == -* ]]; then
  echo "usage: $0 DIR [cmake args...] (a DIR starting with - as ./-DIR)" >&2
  exit 2
fi
dir=$1; shift
for tool in cmake ninja; do
  command -v "$tool" >/dev/null || { echo "build: $tool is not on PATH (scripts/setup.sh)" >&2; exit 2; }
done
cmake -S "$(dirname "$0")/.." -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" \
  -DQVR_WERROR=ON "$@" >/dev/null
cmake --build "$dir" -j "${JOBS:-$(nproc)}"
