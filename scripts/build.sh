#!/usr/bin/env bash
# build.sh DIR [cmake args...]: configures (once) and builds the whole tree into DIR, with warnings
# as errors (QVR_WERROR; a later -DQVR_WERROR=OFF in the arguments wins).
set -euo pipefail
# --help prints the comment above.
if [[ ${1-} == -h || ${1-} == --help ]]; then
  awk 'NR > 1 && !/^#/ { exit } NR > 1 && !/^#SBATCH/ { sub(/^# ?/, ""); print }' "$0"
  exit 0
fi
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
