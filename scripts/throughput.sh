#!/usr/bin/env bash
# throughput.sh [BINARY] [SESSIONS] [RUNS]: Monte Carlo throughput as measured from outside:
# simulated ad requests per CPU-second of one qvr-sandbox process on one core, the median of RUNS
# runs of SESSIONS two-hour sessions (defaults: build/run/qvr-sandbox, 20000, 5).
# Example: scripts/throughput.sh build/rel/qvr-sandbox 20000 5
# Exit code 2 for bad arguments (an empty one included) or a BINARY that is not an executable file;
# 1 when a run takes under 0.01 CPU-s, too short for the timer, or the program writes no JSON tables.
set -euo pipefail
# shellcheck source=SCRIPTDIR/script-help.sh
source "$(dirname "${BASH_SOURCE[0]}")/script-help.sh"
answer_help "$0" "$@"
# An argument given empty is refused, not taken as its default.
binary=${1-build/run/qvr-sandbox}
sessions=${2-20000}
runs=${3-5}
if (($# > 3)) || ! [[ $sessions =~ ^[1-9][0-9]{0,8}$ && $runs =~ ^[1-9][0-9]{0,3}$ ]]; then
  echo "usage: $0 [BINARY] [SESSIONS] [RUNS] (SESSIONS and RUNS whole numbers from 1)" >&2
  exit 2
fi
[[ -f $binary && -x $binary ]] || { echo "throughput: no program at $binary (build it first)" >&2; exit 2; }
command -v /usr/bin/time >/dev/null || { echo "throughput: /usr/bin/time is missing (scripts/setup.sh)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for ((run = 1; run <= runs; run++)); do
  /usr/bin/time -f '%U %S' -o "$work/time" taskset -c 0 "$binary" --sessions "$sessions" --seed 1 \
    --jobs 1 --json >"$work/tables.json"
  python3 - "$work/tables.json" "$work/time" "$binary" <<'EOF' >>"$work/rates"
import json, sys
try:
    tables = json.load(open(sys.argv[1]))
    requests = sum(row["requests"] for row in tables["placements"])
except (ValueError, TypeError, KeyError) as error:
    sys.exit(f"throughput: {sys.argv[3]} wrote no Monte Carlo JSON tables ({error})")
user, system = map(float, open(sys.argv[2]).read().split())
cpu = user + system
# time counts in hundredths of a second: a run shorter than that has no rate to report.
if cpu < 0.01:
    sys.exit("throughput: a run took under 0.01 CPU-s, too short to time: use more sessions")
print(f"{requests / cpu:.0f} {requests} {cpu:.2f}")
EOF
done
model=$(lscpu 2>/dev/null | sed -n 's/^Model name: *//p' | head -1)
# The median rate: the middle one, or the mean of the two middle ones for an even number of runs.
median=$(cut -d' ' -f1 "$work/rates" | sort -n |
  awk '{ rate[NR] = $1 } END { print NR % 2 ? rate[(NR + 1) / 2] : (rate[NR / 2] + rate[NR / 2 + 1]) / 2 }')
# The CPU seconds are listed in run order.
awk -v median="$median" -v model="${model:-unknown processor}" '
  { requests = $2; cpu = cpu " " $3 }
  END {
    printf "%d requests per run; CPU seconds per run:%s\n", requests, cpu
    printf "median: %.0f simulated ad requests per CPU-second on %s\n", median, model
  }' "$work/rates"
