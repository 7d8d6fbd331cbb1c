#!/usr/bin/env bash
# build-profiled.sh DIR [cmake args...]: a Release build in DIR whose code is laid out by GCC's
# profile feedback. It builds the tree instrumented, plays a training workload (Monte Carlo sessions
# and one narrated session, in a temporary folder), then builds again from what the training
# counted, optimizing the whole program at link time (so that small functions of one folder inline
# into another's). Every output is the same as a plain build's; only speed differs (about a third
# more Monte Carlo requests per CPU-second here). With another compiler than GCC it makes a plain
# Release build and says so.
set -euo pipefail
# shellcheck source=SCRIPTDIR/script-help.sh
source "$(dirname "${BASH_SOURCE[0]}")/script-help.sh"
answer_help "$0" "$@"
root=$(cd "$(dirname "$0")/.." && pwd)
if [[ -z ${1:-} || $1 == -* ]]; then
  echo "usage: $0 DIR [cmake args...] (a DIR starting with - as ./-DIR)" >&2
  exit 2
fi
dir=$(mkdir -p "$1" && cd "$1" && pwd) || { echo "build-profiled: cannot make the folder $1" >&2; exit 2; }
shift
if ! "${CXX:-c++}" --version 2>/dev/null | grep -q 'Free Software Foundation'; then
  echo "build-profiled: ${CXX:-c++} is not GCC: a plain Release build, without profile feedback" >&2
  BUILD_TYPE=Release exec "$root/scripts/build.sh" "$dir" "$@"
fi
profile="$dir/profile"
rm -rf "$profile"
# The counts are kept per object file, by its path: both builds must use the same folder.
BUILD_TYPE=Release "$root/scripts/build.sh" "$dir" -DCMAKE_INTERPROCEDURAL_OPTIMIZATION=ON \
  -DCMAKE_CXX_FLAGS="-fprofile-generate=$profile -fprofile-update=single" "$@"
training=$(mktemp -d)
trap 'rm -rf "$training"' EXIT
(cd "$training" && "$dir/qvr-sandbox" --sessions 2000 --seed 7 --jobs 1 >/dev/null &&
  "$dir/qvr-sandbox" --quiet >/dev/null)
# A later edit rebuilds with the counts of the older code: a warning then, not an error.
BUILD_TYPE=Release "$root/scripts/build.sh" "$dir" \
  -DCMAKE_CXX_FLAGS="-fprofile-use=$profile -fprofile-partial-training -Wno-error=coverage-mismatch" \
  "$@"
