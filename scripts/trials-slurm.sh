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
# seed-ranges.sh from this script's folder (QVR_SCRIPTS, set on submit), which every node sees.
# Without Slurm, the same steps run by hand, which is how the script is tested locally:
#   for i in 0 1 2 3; do SLURM_ARRAY_TASK_ID=$i ... scripts/trials-slurm.sh task -- ...; done
#   ... scripts/trials-slurm.sh merge
#SBATCH --job-name=qvr-trials
#SBATCH --cpus-per-task=1
#SBATCH --output=slurm-%A_%a.log
set -euo pipefail

step=${1:?usage: trials-slurm.sh submit|task|merge [-- qvr-sandbox options...]}
shift
[[ ${1:-} == -- ]] && shift
: "${FIRST:?set FIRST}" "${LAST:?set LAST}" "${SHARDS:?set SHARDS}" "${OUT:?set OUT}"
sandbox=$(realpath -m "${QVR_SANDBOX:-build/run/qvr-sandbox}")
# Slurm runs a copy of this file from its own folder: the tasks find the helper where it was
# submitted from.
scripts=${QVR_SCRIPTS:-$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)}
# shellcheck source=SCRIPTDIR/seed-ranges.sh
source "$scripts/seed-ranges.sh"
seed_plan "$FIRST" "$LAST" "$SHARDS" || exit 2

case $step in
  submit)
    mkdir -p "$OUT"
    # The job scripts run from Slurm's copy of this file: hand them the absolute paths.
    export FIRST LAST SHARDS OUT QVR_SANDBOX=$sandbox QVR_SCRIPTS=$scripts
    tasks=$(sbatch --parsable --export=ALL --array=0-$((seed_shards - 1)) "$0" task -- "$@")
    sbatch --parsable --export=ALL --dependency=afterok:"$tasks" "$0" merge
    ;;
  task)
    i=${SLURM_ARRAY_TASK_ID:?run as an array task (or set SLURM_ARRAY_TASK_ID)}
    if ! [[ $i =~ ^[0-9]+$ ]] || ((i >= seed_shards)); then
      echo "trials-slurm.sh: task $i is not one of the $seed_shards shards" >&2
      exit 2
    fi
    mkdir -p "$OUT"
    exec "$sandbox" --quiet --seed-range "$(seed_shard "$i")" --shard-out "$OUT/shard-$i.json" "$@"
    ;;
  merge)
    "$sandbox" merge "$OUT"/shard-*.json > "$OUT/report.txt"
    "$sandbox" merge --json "$OUT"/shard-*.json > "$OUT/report.json"
    cat "$OUT/report.txt"
    ;;
  *)
    echo "trials-slurm.sh: unknown step $step (submit, task or merge)" >&2
    exit 2
    ;;
esac
