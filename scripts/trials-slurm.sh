#!/usr/bin/env bash
# trials-slurm.sh: one Monte Carlo run as a Slurm array job. Each array task plays one contiguous
# range of the seeds FIRST..LAST with `qvr-sandbox --seed-range A..B --shard-out`, and a last job,
# started once every task has ended well, merges the shards into the run's tables and JSON.
#
# Submit (from a folder every node sees, e.g. the cluster's shared home):
#   FIRST=1 LAST=1000000 SHARDS=100 OUT=$PWD/run-1 scripts/trials-slurm.sh submit -- --minutes 120
# which runs `sbatch --array=0-99 scripts/trials-slurm.sh task ...` and, depending on it,
# `sbatch scripts/trials-slurm.sh merge`. The report is then $OUT/report.txt and $OUT/report.json.
# Environment: FIRST, LAST, SHARDS, OUT (shared folder), QVR_SANDBOX (the program; default
# build/run/qvr-sandbox, made absolute), and the qvr-sandbox options after --. The tasks read
# seed-ranges.sh and script-help.sh from this script's folder (QVR_SCRIPTS, set on submit), which
# every node sees.
# Without Slurm, the same steps run by hand, which is how the script is tested locally:
#   for i in 0 1 2 3; do SLURM_ARRAY_TASK_ID=$i ... scripts/trials-slurm.sh task -- ...; done
#   ... scripts/trials-slurm.sh merge
# Each shard spans at most 100000 seeds. submit refuses an OUT that already holds shard files or
# that another submit has claimed ($OUT/.trials-slurm-submit, kept with the run; that of a submit
# on this host that ended before it queued its jobs is taken over; the empty directory of that
# name left by earlier versions is refused, with the rmdir that frees OUT), and merge takes
# exactly the shards shard-0.json to shard-(SHARDS-1).json, failing on a missing one.
#SBATCH --job-name=qvr-trials
#SBATCH --cpus-per-task=1
#SBATCH --output=slurm-%A_%a.log
set -euo pipefail
# Slurm runs a copy of this file from its own folder: the tasks find the helpers where it was
# submitted from.
scripts=${QVR_SCRIPTS:-$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)}
# shellcheck source=SCRIPTDIR/script-help.sh
source "$scripts/script-help.sh"
answer_help "$0" "$@"

step=${1-}
case $step in
  submit|task|merge) shift ;;
  *)
    echo "usage: $0 submit|task|merge [-- qvr-sandbox options...] (--help says more)" >&2
    exit 2
    ;;
esac
[[ ${1:-} == -- ]] && shift
# Bad input, like every other refusal: status 2, and the variables missing all named at once.
missing=()
for name in FIRST LAST SHARDS OUT; do [[ -n ${!name-} ]] || missing+=("$name"); done
if ((${#missing[@]})); then
  echo "trials-slurm.sh: not set in the environment: ${missing[*]} (it needs FIRST, LAST, SHARDS" \
    "and OUT; see --help)" >&2
  exit 2
fi
sandbox=$(realpath -m "${QVR_SANDBOX:-build/run/qvr-sandbox}")
# shellcheck source=SCRIPTDIR/seed-ranges.sh
source "$scripts/seed-ranges.sh"
seed_plan "$FIRST" "$LAST" "$SHARDS" || exit 2
seed_shard_limit || exit 2

case $step in
  submit)
    command -v sbatch >/dev/null || { echo "trials-slurm.sh: sbatch is not on PATH: submit from a Slurm login node" >&2; exit 2; }
    mkdir -p "$OUT"
    # Two submits into one OUT would both find it empty, and their tasks would write each other's
    # shards. The first to create the claim (noclobber: an exclusive create, which NFS 3 and later
    # keep on a shared folder too) has OUT. It names its submit ("PID HOST", written in the same
    # step), so that the claim of one killed before it queued anything is taken over; once the jobs
    # are queued it names them instead ("jobs TASKS MERGE") and stays, since their shards are
    # written only when they run.
    claim=$OUT/.trials-slurm-submit
    host=$(uname -n)
    make_claim() { (set -C && printf '%s %s\n' "$$" "$host" > "$claim") 2>/dev/null; }
    # gone PID: no such process here (kill -0 alone also fails for another user's live process).
    gone() { ! kill -0 "$1" 2>/dev/null && ! ps -p "$1" >/dev/null 2>&1; }
    # take_over: replaces the claim of a submit on this host that is no longer running. The claim
    # is read and replaced only while holding $lock (created like the claim), so of two submits
    # that found the same dead owner the second finds the first's claim, alive. An empty claim is
    # refused: its submit is writing it (or was killed right then, which leaves it to the user).
    lock=$claim.takeover
    take_over() {
      local status=1 pid at
      (set -C && : > "$lock") 2>/dev/null || return 1
      if read -r pid at 2>/dev/null < "$claim"; then
        if [[ $pid =~ ^[1-9][0-9]{0,9}$ && $at == "$host" ]] && gone "$pid"; then
          rm -f -- "$claim"
          make_claim && status=0 &&
            echo "trials-slurm.sh: taking over $claim: its submit (pid $pid) ended before it queued its jobs" >&2
        fi
      elif [[ ! -e $claim ]]; then
        make_claim && status=0  # its submit queued nothing and freed OUT in the meantime
      fi
      rm -f -- "$lock"
      return "$status"
    }
    # Refuses OUT, saying whose claim it is and what frees it: the claim's jobs leaving the queue,
    # or its submit's end, which only its own host can tell.
    refuse_claimed() {
      local who="" where="" merge="" about="" free="if no submit is writing to it, remove $claim"
      read -r who where merge 2>/dev/null < "$claim" || true
      if [[ $who == jobs && -n $where ]]; then
        about=" and queued its jobs ($where${merge:+, then $merge})"
        free="once they have left the queue (squeue -j $where${merge:+,$merge} lists none), remove $claim"
      elif [[ $who =~ ^[1-9][0-9]{0,9}$ && $where == "$host" ]] && ! gone "$who"; then
        about=" (pid $who on this host, still submitting)" free=""
      elif [[ $who =~ ^[1-9][0-9]{0,9}$ && -n $where && $where != "$host" ]]; then
        about=" (pid $who on $where)"
        free="if that submit has ended (ps -p $who on $where lists none) and queued nothing, remove $claim"
      fi
      if [[ -n $free && -e $lock ]]; then free+=" and $lock"; fi
      echo "trials-slurm.sh: another submit has claimed $OUT$about: set another OUT${free:+ (or, $free)}" >&2
      exit 2
    }
    # Something at the claim's name that is not a file is never a claim of this script, and is
    # neither read nor taken over (a fifo would block the read). An empty directory is the claim of
    # an earlier version, made with mkdir and kept with its queued jobs: it names no jobs, so
    # nothing tells whether its tasks are still to write their shards here, and it is refused, with
    # the command that removes it once they have left the queue.
    refuse_not_claim() {
      local what
      if [[ -d $claim && -z $(ls -A -- "$claim" 2>/dev/null) ]]; then
        what="an earlier version of this script claimed $OUT with the directory $claim, which names no jobs:"
        what+=" set another OUT (or, once that submit's jobs have left the queue (squeue -n qvr-trials lists none of them), rmdir $claim)"
      else
        what="$claim is not a claim file: set another OUT (or move it away)"
      fi
      echo "trials-slurm.sh: $what" >&2
      exit 2
    }
    if [[ -e $claim && ! -f $claim ]]; then refuse_not_claim; fi
    make_claim || take_over || refuse_claimed
    if compgen -G "$OUT/shard-*" >/dev/null; then
      rm -f -- "$claim"
      echo "trials-slurm.sh: $OUT already holds shard files of another run: remove them or set another OUT" >&2
      exit 2
    fi
    # The job scripts run from Slurm's copy of this file: hand them the absolute paths.
    export FIRST LAST SHARDS OUT QVR_SANDBOX=$sandbox QVR_SCRIPTS=$scripts
    # Nothing queued: OUT is free again.
    tasks=$(sbatch --parsable --export=ALL --array=0-$((seed_shards - 1)) "$0" task -- "$@") ||
      { status=$?; rm -f -- "$claim"; exit "$status"; }
    # The claim names what was queued, whole (written beside it and renamed): a submit that stops
    # now leaves a claim that is not taken over while its tasks may still write shards.
    record() { printf 'jobs %s\n' "$*" > "$claim.new" && mv -f -- "$claim.new" "$claim"; }
    record "$tasks"
    merge=$(sbatch --parsable --export=ALL --dependency=afterok:"$tasks" "$0" merge)
    record "$tasks" "$merge"
    echo "$merge"
    ;;
  task)
    i=${SLURM_ARRAY_TASK_ID-}
    if [[ -z $i ]]; then
      echo "trials-slurm.sh: task: SLURM_ARRAY_TASK_ID is not set: run it as an array task, or set it" >&2
      exit 2
    fi
    # Digits only, without a leading zero (octal to bash) and few enough not to wrap past 2^63.
    if ! [[ $i =~ ^(0|[1-9][0-9]{0,8})$ ]] || ((i >= seed_shards)); then
      echo "trials-slurm.sh: task $i is not one of the $seed_shards shards" >&2
      exit 2
    fi
    mkdir -p "$OUT"
    exec "$sandbox" --quiet --seed-range "$(seed_shard "$i")" --shard-out "$OUT/shard-$i.json" "$@"
    ;;
  merge)
    # Exactly the shards of this run, by their numbers: a missing one is named, not skipped, and
    # one asked for other seeds (a run with other FIRST, LAST or SHARDS in the same OUT) is refused.
    shard_files=()
    for ((i = 0; i < seed_shards; i++)); do
      file=$OUT/shard-$i.json range=$(seed_shard "$i")
      if [[ ! -f $file ]]; then
        echo "trials-slurm.sh: shard $i (seeds $range) is missing: no $file" >&2
        exit 1
      fi
      asked=$(head -c 2048 "$file" | grep -o '"requested":{"first":[0-9]*,"last":[0-9]*}' |
        tr -dc '0-9,' | sed 's/,/../') || asked=""
      if [[ $asked != "$range" ]]; then
        echo "trials-slurm.sh: $file is not shard $i of this run:" \
          "it was asked seeds ${asked:-(none found)}, not $range" >&2
        exit 1
      fi
      shard_files+=("$file")
    done
    # Both reports are written beside their names and renamed once both are whole: a failed or
    # stopped merge leaves no report, or the earlier one, never half of one.
    partial=$(mktemp -d "$OUT/.merge.XXXXXX")
    trap 'rm -rf "$partial"' EXIT
    "$sandbox" merge "${shard_files[@]}" > "$partial/report.txt"
    "$sandbox" merge --json "${shard_files[@]}" > "$partial/report.json"
    mv -f "$partial/report.json" "$OUT/report.json"
    mv -f "$partial/report.txt" "$OUT/report.txt"
    cat "$OUT/report.txt"
    ;;
esac
