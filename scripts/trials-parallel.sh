#!/usr/bin/env bash
# trials-parallel.sh: spreads one Monte Carlo run over processes, and over machines through ssh,
# with GNU parallel: the seeds FIRST..LAST are cut into SHARDS contiguous ranges, each range is
# played by one `qvr-sandbox --seed-range A..B --shard-out FILE` process, and the shards are then
# merged into the tables (or the JSON) one run over all the seeds prints, byte for byte.
#
# Usage: scripts/trials-parallel.sh [options] FIRST LAST SHARDS [-- qvr-sandbox options...]
#   -b BINARY   qvr-sandbox to run (default: build/run/qvr-sandbox; the same path on every host)
#   -j N        processes at a time per host (default: the host's cores)
#   -S HOSTS    ssh logins for GNU parallel (-S host1,host2; ':' is this machine); the shards come
#               back here, and every -f file is copied there first
#   -f FILE     a file the runs need on every host (a --config or --compare file); repeatable
#   -o DIR      where the shards go (default: a new temporary folder, removed after the merge)
#   --json      print the merged report as JSON
# Everything after -- goes to every shard's run (--minutes, --config, --compare, --premium, ...).
# Example: scripts/trials-parallel.sh 1 1000000 40 -- --minutes 120 --compare b.json
#          scripts/trials-parallel.sh -S :,node1,node2 -f b.json 1 400000 16 -- --compare b.json
# Exit code: that of the merge, or 1 when a shard's run failed (its log is printed).
set -euo pipefail
# shellcheck source=SCRIPTDIR/seed-ranges.sh
source "$(dirname "${BASH_SOURCE[0]}")/seed-ranges.sh"

binary=build/run/qvr-sandbox jobs=100% hosts="" out="" json=() files=()
while (($#)); do
  case $1 in
    -b) binary=$2; shift 2 ;;
    -j) jobs=$2; shift 2 ;;
    -S) hosts=$2; shift 2 ;;
    -f) files+=(--basefile "$2"); shift 2 ;;
    -o) out=$2; shift 2 ;;
    --json) json=(--json); shift ;;
    -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) break ;;
  esac
done
if (($# < 3)); then
  echo "usage: $0 [options] FIRST LAST SHARDS [-- qvr-sandbox options...] (see --help)" >&2
  exit 2
fi
first=$1 last=$2 shards=$3; shift 3
[[ ${1:-} == -- ]] && shift
command -v parallel >/dev/null || { echo "$0: GNU parallel is missing (scripts/setup.sh)" >&2; exit 2; }
seed_plan "$first" "$last" "$shards" || exit 2

keep=1
if [[ -z $out ]]; then out=$(mktemp -d); keep=0; fi
mkdir -p "$out"
cleanup() { ((keep)) || rm -rf "$out"; }
trap cleanup EXIT

# The ranges, as even as whole seeds allow: FIRST..LAST per line.
ranges=()
for ((i = 0; i < seed_shards; i++)); do ranges+=("$(seed_shard "$i")"); done

out=$(realpath "$out")
binary=$(realpath -m "$binary")
remote=()
if [[ -n $hosts ]]; then
  # Each host writes its shards at the same absolute path; they are brought back, then removed.
  remote=(-S "$hosts" "${files[@]}" --return "$out/shard-{#}.json" --cleanup)
fi
# One shell command per shard, every word quoted for the shell that runs it.
quoted() { local word; for word; do printf ' %q' "$word"; done; }
dir=$(printf %q "$out")
command="mkdir -p $dir && $(printf %q "$binary") --quiet --seed-range {} --shard-out \
$dir/shard-{#}.json$(quoted "$@") > $dir/shard-{#}.log 2>&1"
parallel --halt now,fail=1 -j "$jobs" "${remote[@]}" "$command" ::: "${ranges[@]}" || {
  for log in "$out"/shard-*.log; do [[ -s $log ]] && { echo "== $log" >&2; cat "$log" >&2; }; done
  exit 1
}
"$binary" merge "${json[@]}" "$out"/shard-*.json
