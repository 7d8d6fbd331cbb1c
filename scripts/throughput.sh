#!/usr/bin/env bash
# Monte Carlo throughput as measured from outside: simulated ad requests per CPU-second of one
# qvr-sandbox process on one core, the median of RUNS runs of SESSIONS two-hour sessions.
# Usage: scripts/throughput.sh [BINARY] [SESSIONS] [RUNS]
# Example: scripts/throughput.sh build/rel/qvr-sandbox 20000 5
# Exit code 2 for bad arguments; 1 when a run takes under 0.01 CPU-s, too short for the timer.
set -euo pipefail
binary=${1:-build/run/qvr-sandbox}
sessions=${2:-20000}
runs=${3:-5}
if (($# > 3)) || ! [[ $sessions =~ ^[1-9][0-9]{0,8}$ && $runs =~ ^[1-9][0-9]{0,3}$ ]]; then
  echo "usage: $0 [BINARY] [SESSIONS] [RUNS] (SESSIONS and RUNS whole numbers from 1)" >&2
  exit 2
fi
[ -x "$binary" ] || { echo "throughput: no program at $binary (build it first)" >&2; exit 2; }
command -v /usr/bin/time >/dev/null || { echo "throughput: /usr/bin/time is missing (scripts/setup.sh)" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for ((run = 1; run <= runs; run++)); do
  /usr/bin/time -f '%U %S' -o "$work/time" taskset -c 0 "$binary" --sessions "$sessions" --seed 1 \
    --jobs 1 --json >"$work/tables.json"
  python3 - "$work/tables.json" "$work/time" <<'EOF' >>"$work/rates"
import json, sys
tables = json.load(open(sys.argv[1]))
user, system = map(float, open(sys.argv[2]).read().split())
requests = sum(row["requests"] for row in tables["placements"])
cpu = user + system
# time counts in hundredths of a second: a run shorter than that has no rate to report.
if cpu < 0.01:
    sys.exit("throughput: a run took under 0.01 CPU-s, too short to time: use more sessions")
print(f"{requests / cpu:.0f} {requests} {cpu:.2f}")
EOF
done
model=$(lscpu 2>/dev/null | sed -n 's/^Model name: *//p' | head -1)
sort -n "$work/rates" | awk -v runs="$runs" -v model="${model:-unknown processor}" '
  { rate[NR] = $1; requests = $2; cpu[NR] = $3 }
  END {
    median = rate[int((runs + 1) / 2)]
    printf "%d requests per run; CPU seconds per run:", requests
    for (i = 1; i <= runs; i++) printf " %s", cpu[i]
    printf "\nmedian: %d simulated ad requests per CPU-second on %s\n", median, model
  }'
