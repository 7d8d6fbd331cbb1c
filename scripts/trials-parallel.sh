#!/usr/bin/env bash
# trials-parallel.sh: spreads one Monte Carlo run over processes, and over machines through ssh,
# with GNU parallel: the seeds FIRST..LAST are cut into SHARDS contiguous ranges (at most 100000
# seeds each), each range is played by one `qvr-sandbox --seed-range A..B --shard-out FILE`
# process, and the shards are then merged into the tables (or the JSON) one run over all the seeds
# prints, byte for byte.
#
# Usage: scripts/trials-parallel.sh [options] FIRST LAST SHARDS [-- qvr-sandbox options...]
#   -b BINARY   qvr-sandbox to run (default: build/run/qvr-sandbox; the same path on every host)
#   -j N        processes at a time per host (default: the host's cores; also N%, +N or -N, which
#               GNU parallel takes relative to the cores)
#   -S HOSTS    ssh logins for GNU parallel (-S host1,host2; ':' is this machine); the shards come
#               back here, and every -f file is copied there first
#   -f FILE     a file the runs need on every host (a --config or --compare file); repeatable
#   -o DIR      where the shards (shard-I.json and shard-I.log) go and stay; a folder that already
#               holds shard files is refused, so that an earlier run's shards are never merged, and
#               so is one another run is writing to (DIR/.trials-parallel-run names it; that of a
#               run on this host that is no longer running is taken over)
#               (default: a new temporary folder, removed at the end)
#   --json      print the merged report as JSON
# Everything after -- goes to every shard's run (--minutes, --config, --compare, --premium, ...),
# except the options this script sets itself: --json, --shard-out, --seed, --sessions, --seed-range.
# Example: scripts/trials-parallel.sh 1 1000000 40 -- --minutes 120 --compare b.json
#          scripts/trials-parallel.sh -S :,node1,node2 -f b.json 1 400000 16 -- --compare b.json
# Exit code: that of the merge; 1 when a shard's run failed (one line per failed shard with the
# end of its log); 2 for bad arguments; 130 or 143 when stopped by SIGINT or SIGTERM.
set -euo pipefail
# shellcheck source=SCRIPTDIR/seed-ranges.sh
source "$(dirname "${BASH_SOURCE[0]}")/seed-ranges.sh"
# shellcheck source=SCRIPTDIR/script-help.sh
source "$(dirname "${BASH_SOURCE[0]}")/script-help.sh"

usage() {
  echo "$0: $1" >&2
  echo "usage: $0 [options] FIRST LAST SHARDS [-- qvr-sandbox options...] (see --help)" >&2
  exit 2
}

binary=build/run/qvr-sandbox jobs=100% hosts="" out="" json=() files=()
while (($#)); do
  case $1 in
    -b|-j|-S|-f|-o) [[ $# -ge 2 && -n $2 ]] || usage "$1 needs a value" ;;&
    -b) binary=$2; shift 2 ;;
    -j) jobs=$2; shift 2 ;;
    -S) hosts=$2; shift 2 ;;
    -f) [[ -f $2 ]] || usage "-f $2: no such file"
        files+=(--basefile "$2"); shift 2 ;;
    -o) out=$2; shift 2 ;;
    --json) json=(--json); shift ;;
    -h|--help) answer_help "$0" --help ;;
    --) break ;;
    # A negative seed, -j4 written as one word, or a misspelt option: not FIRST.
    -?*) usage "unknown option $1 (options go before FIRST, each apart from its value)" ;;
    *) break ;;
  esac
done
[[ $jobs =~ ^([1-9][0-9]{0,5}%?|[+-][0-9]{1,6})$ ]] || usage "-j $jobs: a count of processes (N, N%, +N or -N)"

(($# >= 3)) || usage "FIRST, LAST and SHARDS are needed"
first=$1 last=$2 shards=$3; shift 3
[[ ${1:-} == -- ]] && shift
# The shards' seeds, output and format are this script's: the same option again would be played
# by every shard and lost in the merge.
for arg; do
  case ${arg%%=*} in
    --json) usage "--json after --: put the script's own --json before FIRST" ;;
    --shard-out) usage "--shard-out after --: the shards are kept with -o DIR" ;;
    --seed|--sessions|--seed-range) usage "${arg%%=*} after --: FIRST LAST SHARDS choose the seeds" ;;
  esac
done
command -v parallel >/dev/null || { echo "$0: GNU parallel is missing (scripts/setup.sh)" >&2; exit 2; }
seed_plan "$first" "$last" "$shards" || exit 2
seed_shard_limit || exit 2

keep=1
if [[ -z $out ]]; then out=$(mktemp -d); keep=0; fi
mkdir -p -- "$out"
out=$(realpath -- "$out")
# Two runs started at once into one -o folder would both find it empty and mix their shards: the
# first to create the marker has it, until it ends. The marker names its run ("PID HOST", written
# in the same step that creates it), so that one left by a run killed outright is taken over.
marker=$out/.trials-parallel-run
host=$(uname -n) owner_pid="" owner_host=""
claim() { (set -C && printf '%s %s\n' "$$" "$host" > "$marker") 2>/dev/null; }
# gone PID: no such process here (kill -0 alone also fails for another user's live process).
gone() { ! kill -0 "$1" 2>/dev/null && ! ps -p "$1" >/dev/null 2>&1; }
# take_over: replaces the marker of a run on this host that is no longer running. The marker is
# read and replaced only while holding $lock (created like the marker), so of two runs that found
# the same dead owner the second finds the first's marker, alive. An empty marker is refused: its
# run is writing it (or was killed right then, which leaves it to the user).
lock=$marker.takeover
take_over() {
  local status=1
  (set -C && : > "$lock") 2>/dev/null || return 1
  if read -r owner_pid owner_host 2>/dev/null < "$marker"; then
    if [[ $owner_pid =~ ^[1-9][0-9]{0,9}$ && $owner_host == "$host" ]] && gone "$owner_pid"; then
      rm -f -- "$marker"
      claim && status=0 && echo "$0: taking over $marker: its run (pid $owner_pid) is gone" >&2
    fi
  elif [[ ! -e $marker ]]; then
    claim && status=0  # its run ended in the meantime
  fi
  rm -f -- "$lock"
  return "$status"
}
if ((keep)) && ! claim && ! take_over; then
  leftovers=$marker
  if [[ -e $lock ]]; then leftovers+=" and $lock"; fi
  echo "$0: another run is writing to $out${owner_pid:+ (pid $owner_pid on $owner_host)}" \
    "(if none is, remove $leftovers)" >&2
  exit 2
fi
if ((keep)) && compgen -G "$out/shard-*" >/dev/null; then
  rm -f "$marker"
  echo "$0: $out already holds shard files of another run: remove them or choose another -o" >&2
  exit 2
fi
# parallel's job log (each finished shard's exit status) and its own messages.
logs=$(mktemp -d)
cleanup() { rm -rf "$logs"; if ((keep)); then rm -f "$marker"; else rm -rf "$out"; fi; }
trap cleanup EXIT

# The ranges, as even as whole seeds allow: FIRST..LAST per line.
ranges=()
for ((i = 0; i < seed_shards; i++)); do ranges+=("$(seed_shard "$i")"); done

binary=$(realpath -m -- "$binary")
# Run here, the program is checked before any shard starts; other hosts have their own copy.
if [[ -z $hosts && ! (-f $binary && -x $binary) ]]; then
  echo "$0: no program at $binary (build it first, or name it with -b)" >&2
  exit 2
fi
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
# parallel runs in the background, so that a signal to this script stops the shards at once: it is
# passed on to parallel (the last background job, if started yet), which stops every running shard.
stop() {
  if [[ -n ${!:-} ]]; then kill -"$1" "$!" 2>/dev/null; wait "$!" || true; fi
  echo "$0: stopped by SIG$1" >&2
  exit "$2"
}
trap 'stop INT 130' INT
trap 'stop TERM 143' TERM
parallel --halt now,fail=1 --joblog "$logs/jobs" -j "$jobs" "${remote[@]}" "$command" \
  ::: "${ranges[@]}" 2> "$logs/messages" &
status=0
wait "$!" || status=$?
trap - INT TERM
if ((status)); then
  # The joblog lists the shards that ended by themselves; those parallel stopped after the first
  # failure are not in it.
  failed=0
  while IFS=$'\t' read -r seq _ _ _ _ _ code signal _; do
    if ! [[ $seq =~ ^[0-9]+$ ]] || ((code == 0 && signal == 0)); then continue; fi
    failed=1
    # The last three lines of its log that are not blank, on one line.
    why=$(awk 'NF { line[++n] = $0 }
      END { for (i = n > 3 ? n - 2 : 1; i <= n; i++) { printf "%s%s", sep, line[i]; sep = " | " } }' \
      "$out/shard-$seq.log" 2>/dev/null) || why=""
    ((signal)) && why="killed by signal $signal${why:+: $why}"
    echo "shard $seq (seeds ${ranges[seq - 1]}) failed: ${why:-exit status $code, no output}" >&2
  done < "$logs/jobs"
  ((failed)) || cat "$logs/messages" >&2
  exit 1
fi
cat "$logs/messages" >&2
# Exactly the shards of this run, by their numbers.
shard_files=()
for ((i = 1; i <= seed_shards; i++)); do
  [[ -f $out/shard-$i.json ]] || { echo "$0: shard $i (seeds ${ranges[i - 1]}) wrote no $out/shard-$i.json" >&2; exit 1; }
  shard_files+=("$out/shard-$i.json")
done
"$binary" merge "${json[@]}" "${shard_files[@]}"
