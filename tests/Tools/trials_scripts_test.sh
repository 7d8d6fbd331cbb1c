#!/usr/bin/env bash
# trials_scripts_test.sh QVR_SANDBOX: the ready scripts that spread a Monte Carlo run over
# processes give, once merged, the same bytes as one run: GNU parallel with four processes at once,
# and the Slurm array job's steps run by hand; the throughput script times runs and counts their
# requests. Exit 77 (skipped) without GNU parallel.
set -euo pipefail
sandbox=$(realpath "$1")
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
options=(--minutes 20)

"$sandbox" "${options[@]}" --seed 3 --sessions 12 --quiet > "$work/one.txt"
"$sandbox" "${options[@]}" --seed 3 --sessions 12 --quiet --json > "$work/one.json"

fail() { echo "trials_scripts_test: $1" >&2; diff "$2" "$3" >&2 || true; exit 1; }

if command -v parallel >/dev/null; then
  "$scripts/trials-parallel.sh" -b "$sandbox" -j 4 3 14 4 -- "${options[@]}" > "$work/parallel.txt"
  cmp -s "$work/one.txt" "$work/parallel.txt" || fail "parallel text differs" "$work/one.txt" "$work/parallel.txt"
  "$scripts/trials-parallel.sh" -b "$sandbox" -j 4 -o "$work/kept" --json 3 14 5 -- "${options[@]}" \
    > "$work/parallel.json"
  cmp -s "$work/one.json" "$work/parallel.json" || fail "parallel JSON differs" "$work/one.json" "$work/parallel.json"
  [[ $(ls "$work/kept"/shard-*.json | wc -l) == 5 ]] || fail "-o keeps the five shards" /dev/null /dev/null
  # A failing shard (a bad option) fails the whole run and shows its log.
  if "$scripts/trials-parallel.sh" -b "$sandbox" 1 4 2 -- --minutes 0 > /dev/null 2> "$work/failed.err"; then
    fail "a failing shard must fail the run" /dev/null /dev/null
  fi
  grep -q -- "--minutes" "$work/failed.err" || fail "the failing shard's log is shown" /dev/null "$work/failed.err"
  skipped=0
else
  skipped=1
fi

for i in 0 1 2; do
  FIRST=3 LAST=14 SHARDS=3 OUT="$work/slurm" QVR_SANDBOX=$sandbox SLURM_ARRAY_TASK_ID=$i \
    "$scripts/trials-slurm.sh" task -- "${options[@]}" > /dev/null &
done
wait
FIRST=3 LAST=14 SHARDS=3 OUT="$work/slurm" QVR_SANDBOX=$sandbox "$scripts/trials-slurm.sh" merge > /dev/null
cmp -s "$work/one.txt" "$work/slurm/report.txt" || fail "Slurm text differs" "$work/one.txt" "$work/slurm/report.txt"
cmp -s "$work/one.json" "$work/slurm/report.json" || fail "Slurm JSON differs" "$work/one.json" "$work/slurm/report.json"
# The throughput script counts the requests of the run it times and reports the median rate.
"$sandbox" --sessions 30 --seed 1 --json > "$work/thirty.json"
requests=$(python3 -c 'import json,sys; print(sum(r["requests"] for r in json.load(open(sys.argv[1]))["placements"]))' "$work/thirty.json")
"$scripts/throughput.sh" "$sandbox" 30 3 > "$work/throughput.txt"
grep -q "^$requests requests per run; CPU seconds per run: [0-9.]* [0-9.]* [0-9.]*$" "$work/throughput.txt" ||
  fail "throughput counts the run's requests" /dev/null "$work/throughput.txt"
grep -Eq "^median: [0-9]+ simulated ad requests per CPU-second on .+" "$work/throughput.txt" ||
  fail "throughput prints the median" /dev/null "$work/throughput.txt"
if "$scripts/throughput.sh" "$work/none" 1 1 2> "$work/throughput.err"; then
  fail "throughput refuses a missing program" /dev/null /dev/null
fi
grep -q "no program at" "$work/throughput.err" || fail "the refusal says why" /dev/null "$work/throughput.err"

((skipped)) && { echo "trials_scripts_test: GNU parallel missing (scripts/setup.sh): skipped its part"; exit 77; }
echo "trials_scripts_test: passed"
