#!/usr/bin/env bash
# fuzz.sh [SECONDS]: builds the fuzz targets with Clang, AddressSanitizer and UBSan into
# build/fuzz (the module and the sandbox only: the targets need no more), then runs each for
# SECONDS (default 30) from its seed corpus. A crash, a leak or a failed check stops the run with
# the reproducing input in build/fuzz/artifacts. The mutations follow FUZZ_SEED (default 1), so a
# run repeats the inputs of an earlier one as far as it gets; set another seed to explore further.
set -euo pipefail
# shellcheck source=SCRIPTDIR/script-help.sh
source "$(dirname "${BASH_SOURCE[0]}")/script-help.sh"
answer_help "$0" "$@"
seconds=${1-30}
# libFuzzer takes 0, a negative or a non-numeric time as no limit at all: checked before the build.
if (($# > 1)) || ! [[ $seconds =~ ^[1-9][0-9]{0,6}$ ]]; then
  echo "usage: $0 [SECONDS] (a whole number of seconds per target, from 1; default 30)" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
CC=clang CXX=clang++ BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo} scripts/build.sh build/fuzz \
  -DQVR_BUILD_FUZZ=ON -DQVR_SANITIZE=address,undefined -DQVR_BUILD_TOOLS=OFF -DQVR_BUILD_TESTS=OFF \
  -DQVR_BUILD_BENCH=OFF
mkdir -p build/fuzz/artifacts
for source in fuzz/*.cpp; do
  name=$(basename "$source" .cpp)
  corpus=build/fuzz/corpus/$name
  mkdir -p "$corpus"
  echo "== $name ($seconds s)"
  log=build/fuzz/$name.log
  # Found inputs go to the build's corpus; the checked-in seeds stay as they are.
  if ! build/fuzz/"$name" -max_total_time="$seconds" -seed="${FUZZ_SEED:-1}" \
    -artifact_prefix=build/fuzz/artifacts/ "$corpus" "fuzz/corpus/$name" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "$name failed; the input is in build/fuzz/artifacts" >&2
    exit 1
  fi
  grep -E '^Done [0-9]+ runs' "$log" || true
done
