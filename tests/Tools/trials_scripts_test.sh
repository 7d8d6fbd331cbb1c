#!/usr/bin/env bash
# trials_scripts_test.sh QVR_SANDBOX: the ready scripts that spread a Monte Carlo run over
# processes give, once merged, the same bytes as one run: GNU parallel with four processes at once,
# and the Slurm array job's steps run by hand. They merge only the shards of the run asked for, name
# the shard that failed or is missing, and stop as a signal says. Of two runs started into one
# folder only one goes on, and the folder of a run (or the claim of a submit) killed outright is
# taken over. The throughput script times runs and counts their requests; the scripts refuse bad
# arguments before they build or run anything.
# Exit 77 (skipped) without GNU parallel.
set -euo pipefail
sandbox=$(realpath "$1")
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
options=(--minutes 20)

"$sandbox" "${options[@]}" --seed 3 --sessions 12 --quiet > "$work/one.txt"
"$sandbox" "${options[@]}" --seed 3 --sessions 12 --quiet --json > "$work/one.json"

fail() { echo "trials_scripts_test: $1" >&2; diff "$2" "$3" >&2 || true; held_end; exit 1; }
# held_start COMMAND...: starts COMMAND in the background, its output in $work/held.out and .err,
# and returns once a stub it runs is held (the stub says so on $work/at and waits on $work/go) or
# COMMAND has ended: $held is "held" or "ended STATUS". held_end lets it go and waits for its end.
mkfifo "$work/at" "$work/go"
hold="echo held > $(printf %q "$work/at"); read -r < $(printf %q "$work/go")"
held=""
held_start() {
  { local status=0; "$@" > "$work/held.out" 2> "$work/held.err" || status=$?; echo "ended $status" > "$work/at"; } &
  read -r held < "$work/at"
}
held_end() {
  if [[ $held == held ]]; then echo > "$work/go"; read -r held < "$work/at"; fi
  wait
}
# refused STATUS TEXT COMMAND...: the command ends with STATUS and says TEXT on stderr.
refused() {
  local want=$1 text=$2 status=0; shift 2
  "$@" > "$work/refused.out" 2> "$work/refused.err" || status=$?
  if ((status != want)) || ! grep -qF -- "$text" "$work/refused.err"; then
    fail "$* must end with $want saying '$text', ended with $status" /dev/null "$work/refused.err"
  fi
}

# The ranges both scripts cut, up to the last seed, where bash's own arithmetic would wrap.
ranges() (
  # shellcheck source=SCRIPTDIR/../../scripts/seed-ranges.sh
  source "$scripts/seed-ranges.sh"
  seed_plan "$@" || exit
  for ((i = 0; i < seed_shards; i++)); do printf '%s ' "$(seed_shard "$i")"; done
)
while IFS='|' read -r run expected; do
  # shellcheck disable=SC2086
  found=$(ranges $run 2>&1) || found="refused: $found"
  # shellcheck disable=SC2053
  [[ $found == $expected* ]] || fail "ranges of $run: expected '$expected', found '$found'" /dev/null /dev/null
done <<'RANGES'
3 14 4|3..5 6..8 9..11 12..14
5 6 9|5..5 6..6
999999998 1000000001 2|999999998..999999999 1000000000..1000000001
9223372036854775800 9223372036854775810 2|9223372036854775800..9223372036854775804 9223372036854775805..9223372036854775810
18446744073709551600 18446744073709551615 3|18446744073709551600..18446744073709551604 18446744073709551605..18446744073709551609 18446744073709551610..18446744073709551615
0 9223372036854775806 2|0..4611686018427387902 4611686018427387903..9223372036854775806
0 9223372036854775807 2|refused: *: FIRST..LAST holds more than 9223372036854775807 seeds
0 18446744073709551616 2|refused: *: FIRST and LAST must be seeds
9 8 1|refused: *: FIRST and LAST must be seeds
1 2 0|refused: *: FIRST and LAST must be seeds
RANGES

# A process that has ended, and this host, as a marker or claim names them.
(exit 0) & dead=$!
wait "$dead"
host=$(uname -n)

if command -v parallel >/dev/null; then
  "$scripts/trials-parallel.sh" -b "$sandbox" -j 4 3 14 4 -- "${options[@]}" > "$work/parallel.txt"
  cmp -s "$work/one.txt" "$work/parallel.txt" || fail "parallel text differs" "$work/one.txt" "$work/parallel.txt"
  "$scripts/trials-parallel.sh" -b "$sandbox" -j 4 -o "$work/kept" --json 3 14 5 -- "${options[@]}" \
    > "$work/parallel.json"
  cmp -s "$work/one.json" "$work/parallel.json" || fail "parallel JSON differs" "$work/one.json" "$work/parallel.json"
  [[ $(find "$work/kept" -name 'shard-*.json' | wc -l) == 5 ]] || fail "-o keeps the five shards" /dev/null /dev/null
  # A folder holding an earlier run's shards is refused, and left as it was: they would be merged.
  refused 2 "already holds shard files" "$scripts/trials-parallel.sh" -b "$sandbox" -o "$work/kept" 3 8 2 -- "${options[@]}"
  [[ $(find "$work/kept" -name 'shard-*' | wc -l) == 10 ]] || fail "the refused folder is left as it was" /dev/null /dev/null
  [[ -z $(find "$work/kept" -name '.*' -type f) ]] || fail "a finished run leaves no marker" /dev/null /dev/null
  # A run still writing to a folder holds it: a second one started at once is refused.
  mkdir "$work/busy" && : > "$work/busy/.trials-parallel-run"
  refused 2 "another run is writing to $work/busy" "$scripts/trials-parallel.sh" -b "$sandbox" -o "$work/busy" 3 8 2
  [[ -z $(find "$work/busy" -name 'shard-*') ]] || fail "the refused run writes no shard" /dev/null /dev/null
  # The marker names its run. The marker of a live run, of one on another host (its pid means
  # nothing here), or one being taken over, is left as it is.
  stale=$work/stale/.trials-parallel-run
  mkdir "$work/stale"
  while IFS='|' read -r owner lock text; do
    echo "$owner" > "$stale"
    [[ -z $lock ]] || : > "$stale.takeover"
    refused 2 "$text" "$scripts/trials-parallel.sh" -b "$sandbox" -o "$work/stale" 3 8 2
    [[ $(< "$stale") == "$owner" ]] || fail "a refused run leaves the marker '$owner'" /dev/null "$stale"
    rm -f "$stale.takeover"
  done <<OWNERS
$$ $host||another run is writing to $work/stale (pid $$ on $host)
$dead elsewhere.invalid||another run is writing to $work/stale (pid $dead on elsewhere.invalid)
$dead $host|held|(if none is, remove $stale and $stale.takeover)
OWNERS
  # The marker of a run gone from this host is taken over, and then names the run that took it:
  # a run started while it plays is refused.
  echo "$dead $host" > "$stale"
  cat > "$work/held" <<HELD
#!/usr/bin/env bash
[[ \$1 == merge ]] || { $hold; }
exec $(printf %q "$sandbox") "\$@"
HELD
  chmod +x "$work/held"
  held_start "$scripts/trials-parallel.sh" -b "$work/held" -o "$work/stale" 3 14 1 -- "${options[@]}"
  refused 2 "another run is writing to $work/stale (pid " "$scripts/trials-parallel.sh" -b "$sandbox" -o "$work/stale" 3 8 2
  held_end
  [[ $held == "ended 0" && $(< "$work/held.err") == *"taking over $stale: its run (pid $dead) is gone"* ]] ||
    fail "a run takes over the marker of a run that is gone ($held)" /dev/null "$work/held.err"
  cmp -s "$work/one.txt" "$work/held.out" || fail "the run that took over merges" "$work/one.txt" "$work/held.out"
  [[ ! -e $stale ]] || fail "the run that took over removes its marker" /dev/null /dev/null
  refused 2 "--json after --: put the script's own --json before FIRST" \
    "$scripts/trials-parallel.sh" -b "$sandbox" 1 4 2 -- "${options[@]}" --json
  refused 2 "--seed after --" "$scripts/trials-parallel.sh" -b "$sandbox" 1 4 2 -- --seed=9
  # A program that fails the seeds 7..8, and stops the script's run (its pid in $work/pid) at 1..2.
  pid=$(printf %q "$work/pid")
  cat > "$work/flaky" <<EOF
#!/usr/bin/env bash
case " \$* " in
  *" 7..8 "*) echo "flaky: no seeds 7..8" >&2; exit 1 ;;
  *" 1..2 "*) [[ -f $pid ]] && kill -TERM "\$(< $pid)" ;;
esac
exec $(printf %q "$sandbox") "\$@"
EOF
  chmod +x "$work/flaky"
  # One line for the failed shard, none for those that ended well or were stopped.
  refused 1 "shard 4 (seeds 7..8) failed: flaky: no seeds 7..8" \
    "$scripts/trials-parallel.sh" -b "$work/flaky" -j 4 1 8 4 -- "${options[@]}"
  [[ $(wc -l < "$work/refused.err") == 1 && ! -s $work/refused.out ]] ||
    fail "only the failed shard is reported" /dev/null "$work/refused.err"
  # Stopped by SIGTERM: 143, no report. exec keeps the pid that the flaky program reads.
  # shellcheck disable=SC2016
  refused 143 "stopped by SIGTERM" bash -c 'echo $$ > "$1/pid"; shift; exec "$@"' - "$work" \
    "$scripts/trials-parallel.sh" -b "$work/flaky" -j 4 1 6 3 -- "${options[@]}"
  [[ ! -s $work/refused.out ]] || fail "a stopped run prints no report" /dev/null "$work/refused.out"
  rm "$work/pid"
  refused 2 "one shard plays at most 100000: use at least 3 shards" "$scripts/trials-parallel.sh" 1 300000 2
  refused 2 "usage:" "$scripts/trials-parallel.sh" -b
  # Refused before any shard starts: an option glued to its value or a negative seed is not FIRST,
  # parallel's own usage is not what a bad -j shows, and a missing program is named once.
  refused 2 "unknown option -j2" "$scripts/trials-parallel.sh" -b "$sandbox" -j2 1 4 2
  refused 2 "unknown option -5" "$scripts/trials-parallel.sh" -b "$sandbox" -5 4 2
  refused 2 "-j abc: a count of processes" "$scripts/trials-parallel.sh" -b "$sandbox" -j abc 1 4 2
  refused 2 "no program at $work/none" "$scripts/trials-parallel.sh" -b "$work/none" 1 4 2
  refused 2 "-f $work/none: no such file" "$scripts/trials-parallel.sh" -b "$sandbox" -f "$work/none" 1 4 2
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
# The merge takes the shards of the run its variables describe: not another run's, nor fewer.
FIRST=3 LAST=13 SHARDS=3 OUT="$work/slurm" QVR_SANDBOX=$sandbox \
  refused 1 "shard-0.json is not shard 0 of this run: it was asked seeds 3..6, not 3..5" "$scripts/trials-slurm.sh" merge
# A merge that fails half-way keeps the earlier reports whole and leaves nothing beside them.
cat > "$work/failing-merge" <<EOF
#!/usr/bin/env bash
[[ \$1 == merge ]] && { echo partial; echo "failing-merge: stopped" >&2; exit 1; }
exec $(printf %q "$sandbox") "\$@"
EOF
chmod +x "$work/failing-merge"
FIRST=3 LAST=14 SHARDS=3 OUT="$work/slurm" QVR_SANDBOX=$work/failing-merge \
  refused 1 "failing-merge: stopped" "$scripts/trials-slurm.sh" merge
cmp -s "$work/one.txt" "$work/slurm/report.txt" || fail "a failed merge keeps the report" "$work/one.txt" "$work/slurm/report.txt"
[[ $(find "$work/slurm" -mindepth 1 -not -name 'shard-*' | wc -l) == 2 ]] ||
  fail "a failed merge leaves only the shards and the reports" /dev/null /dev/null
refused 2 "usage:" env FIRST=3 LAST=14 SHARDS=3 OUT="$work/slurm" "$scripts/trials-slurm.sh" bogus
# Task numbers bash would read as octal or wrap to a negative number are not shards.
for id in 3 08 -1 9223372036854775808; do
  FIRST=3 LAST=14 SHARDS=3 OUT="$work/slurm-ids" QVR_SANDBOX=$sandbox SLURM_ARRAY_TASK_ID=$id \
    refused 2 "task $id is not one of the 3 shards" "$scripts/trials-slurm.sh" task
done
FIRST=3 LAST=14 SHARDS=3 OUT="$work/slurm-ids" QVR_SANDBOX=$sandbox SLURM_ARRAY_TASK_ID='' \
  refused 2 "task: SLURM_ARRAY_TASK_ID is not set" "$scripts/trials-slurm.sh" task
refused 2 "not set in the environment: SHARDS OUT (it needs" \
  env -u OUT -u SHARDS FIRST=3 LAST=14 "$scripts/trials-slurm.sh" task
[[ ! -e $work/slurm-ids ]] || fail "a refused task writes nothing" /dev/null /dev/null
# Two submits into one OUT: the first, held in sbatch, has claimed OUT, and the second is refused
# without queueing anything, as is one after the first has queued its jobs (their shards come
# later); each refusal says whose claim it is. A submit that queued nothing leaves OUT free.
mkdir "$work/sbin"
cat > "$work/sbin/sbatch" <<SBATCH
#!/usr/bin/env bash
[[ -z \${SBATCH_FAILS-} ]] || { echo "sbatch: error: no queue" >&2; exit 1; }
echo "\$*" >> $(printf %q "$work/sbatch.log")
if mkdir $(printf %q "$work/sbatch-held") 2>/dev/null; then $hold; fi
echo 41
SBATCH
chmod +x "$work/sbin/sbatch"
submit=(PATH="$work/sbin:$PATH" FIRST=3 LAST=14 SHARDS=3 QVR_SANDBOX="$sandbox")
held_start env "${submit[@]}" OUT="$work/submitted" "$scripts/trials-slurm.sh" submit -- "${options[@]}"
read -r submitter _ 2>/dev/null < "$work/submitted/.trials-slurm-submit" || submitter="(no claim file)"
while IFS='|' read -r when text; do
  [[ $when == queued ]] && held_end
  refused 2 "another submit has claimed $work/submitted$text" env "${submit[@]}" OUT="$work/submitted" \
    "$scripts/trials-slurm.sh" submit
done <<CLAIMED
submitting| (pid $submitter on this host, still submitting): set another OUT
queued| and queued its jobs (41, then 41): set another OUT (or, once they have left the queue (squeue -j 41,41 lists none), remove
CLAIMED
[[ $held == "ended 0" && $(< "$work/held.out") == 41 &&
  $(cut -d ' ' -f 3 "$work/sbatch.log" | paste -sd ' ') == "--array=0-2 --dependency=afterok:41" ]] ||
  fail "one submit queues the tasks and the merge ($held)" /dev/null "$work/sbatch.log"
# A claim is taken over only from a submit on this host that has ended: not from a live one, one
# on another host (said with what to check there), queued jobs, an unreadable claim, or one
# another submit is taking over. Each refusal queues nothing and leaves the claim as it was.
claimed=$work/claimed/.trials-slurm-submit
mkdir "$work/claimed"
queued=$(wc -l < "$work/sbatch.log")
while IFS='|' read -r owner lock text; do
  echo "$owner" > "$claimed"
  [[ -z $lock ]] || : > "$claimed.takeover"
  refused 2 "another submit has claimed $work/claimed$text" env "${submit[@]}" OUT="$work/claimed" \
    "$scripts/trials-slurm.sh" submit
  [[ $(< "$claimed") == "$owner" ]] || fail "a refused submit leaves the claim '$owner'" /dev/null "$claimed"
  rm -f "$claimed.takeover"
done <<OWNERS
$$ $host|| (pid $$ on this host, still submitting): set another OUT
$dead elsewhere.invalid|| (pid $dead on elsewhere.invalid): set another OUT (or, if that submit has ended (ps -p $dead on elsewhere.invalid lists none) and queued nothing, remove $claimed)
jobs 7 8|| and queued its jobs (7, then 8): set another OUT (or, once they have left the queue (squeue -j 7,8 lists none), remove $claimed)
$dead $host|held|: set another OUT (or, if no submit is writing to it, remove $claimed and $claimed.takeover)
||: set another OUT (or, if no submit is writing to it, remove $claimed)
OWNERS
[[ $(wc -l < "$work/sbatch.log") == "$queued" ]] || fail "a refused submit queues nothing" /dev/null "$work/sbatch.log"
# That of a submit killed on this host before it queued anything is taken over, and then names
# the jobs queued.
echo "$dead $host" > "$claimed"
env "${submit[@]}" OUT="$work/claimed" "$scripts/trials-slurm.sh" submit > "$work/claimed.out" 2> "$work/claimed.err" ||
  fail "a submit takes over the claim of one that ended" /dev/null "$work/claimed.err"
[[ $(< "$work/claimed.err") == *"taking over $claimed: its submit (pid $dead) ended before it queued its jobs"* &&
  $(< "$work/claimed.out") == 41 && $(< "$claimed") == "jobs 41 41" &&
  $(wc -l < "$work/sbatch.log") == $((queued + 2)) && ! -e $claimed.takeover ]] ||
  fail "the submit that took over queues its jobs and names them in the claim" "$work/claimed.err" "$claimed"
# Something else at the claim's name is neither read nor taken over: a directory with files in it
# is no claim at all, and the empty directory an earlier version made (kept with its queued jobs,
# which it does not name) is refused with the rmdir that frees it, which then does.
old=$work/old/.trials-slurm-submit
queued=$(wc -l < "$work/sbatch.log")
while IFS='|' read -r inside text; do
  mkdir -p "$old" && rm -rf "${old:?}"/*
  [[ -z $inside ]] || : > "$old/$inside"
  refused 2 "trials-slurm.sh: $text" env "${submit[@]}" OUT="$work/old" "$scripts/trials-slurm.sh" submit
  [[ -d $old && $(ls -A "$old") == "$inside" ]] || fail "a refused submit leaves $old as it was" /dev/null /dev/null
done <<OLD
left|$old is not a claim file: set another OUT (or move it away)
|an earlier version of this script claimed $work/old with the directory $old, which names no jobs: set another OUT (or, once that submit's jobs have left the queue (squeue -n qvr-trials lists none of them), rmdir $old)
OLD
[[ $(wc -l < "$work/sbatch.log") == "$queued" ]] || fail "a refused submit queues nothing" /dev/null "$work/sbatch.log"
rmdir "$old"
freed=0
env "${submit[@]}" OUT="$work/old" "$scripts/trials-slurm.sh" submit > /dev/null 2> "$work/old.err" || freed=$?
[[ $freed == 0 && $(< "$old") == "jobs 41 41" ]] || fail "the rmdir named frees OUT for the next submit" /dev/null "$work/old.err"
refused 1 "sbatch: error: no queue" env SBATCH_FAILS=1 "${submit[@]}" OUT="$work/unqueued" "$scripts/trials-slurm.sh" submit
env "${submit[@]}" OUT="$work/unqueued" "$scripts/trials-slurm.sh" submit > /dev/null ||
  fail "a submit that queued nothing leaves OUT free" /dev/null /dev/null
rm "$work/slurm/shard-2.json"
FIRST=3 LAST=14 SHARDS=3 OUT="$work/slurm" QVR_SANDBOX=$sandbox \
  refused 1 "shard 2 (seeds 11..14) is missing" "$scripts/trials-slurm.sh" merge
# The last seeds there are, in three tasks, against one run of them.
last=(FIRST=18446744073709551610 LAST=18446744073709551615 SHARDS=3 OUT="$work/slurm-last" QVR_SANDBOX="$sandbox")
for i in 0 1 2; do
  env "${last[@]}" SLURM_ARRAY_TASK_ID=$i "$scripts/trials-slurm.sh" task -- "${options[@]}" > /dev/null
done
env "${last[@]}" "$scripts/trials-slurm.sh" merge > /dev/null
"$sandbox" "${options[@]}" --seed 18446744073709551610 --sessions 6 --quiet > "$work/last.txt"
cmp -s "$work/last.txt" "$work/slurm-last/report.txt" ||
  fail "Slurm text of the last seeds differs" "$work/last.txt" "$work/slurm-last/report.txt"
# The throughput script counts the requests of the run it times and reports the median rate (of
# runs long enough for the timer's hundredths of a second).
"$sandbox" --sessions 300 --seed 1 --json > "$work/timed.json"
requests=$(python3 -c 'import json,sys; print(sum(r["requests"] for r in json.load(open(sys.argv[1]))["placements"]))' "$work/timed.json")
"$scripts/throughput.sh" "$sandbox" 300 3 > "$work/throughput.txt"
grep -q "^$requests requests per run; CPU seconds per run: [0-9.]* [0-9.]* [0-9.]*$" "$work/throughput.txt" ||
  fail "throughput counts the run's requests" /dev/null "$work/throughput.txt"
grep -Eq "^median: [0-9]+ simulated ad requests per CPU-second on .+" "$work/throughput.txt" ||
  fail "throughput prints the median" /dev/null "$work/throughput.txt"
if "$scripts/throughput.sh" "$work/none" 1 1 2> "$work/throughput.err"; then
  fail "throughput refuses a missing program" /dev/null /dev/null
fi
grep -q "no program at" "$work/throughput.err" || fail "the refusal says why" /dev/null "$work/throughput.err"
refused 2 "usage:" "$scripts/throughput.sh" "$sandbox" 50 0
refused 2 "usage:" "$scripts/throughput.sh" "$sandbox" abc 1
refused 2 "usage:" "$scripts/throughput.sh" "$sandbox" "" 1
refused 2 "usage:" "$scripts/throughput.sh" "$sandbox" 50 ""
refused 2 "no program at" "$scripts/throughput.sh" "$work" 50 1
refused 1 "throughput: /bin/true wrote no Monte Carlo JSON tables" "$scripts/throughput.sh" /bin/true 50 1
[[ $(wc -l < "$work/refused.err") == 1 ]] || fail "one line says why" /dev/null "$work/refused.err"
# Two runs of the same tables, the second doing four times the first's work: the median is the
# mean of the two rates, and the CPU seconds are listed in run order (the slower run last).
cat > "$work/slowing" <<EOF
#!/usr/bin/env bash
echo >> $(printf %q "$work/runs")
$(printf %q "$sandbox") --sessions \$((600 * 4 ** (\$(wc -l < $(printf %q "$work/runs")) - 1))) > /dev/null
cat $(printf %q "$work/timed.json")
EOF
chmod +x "$work/slowing"
"$scripts/throughput.sh" "$work/slowing" 1 2 > "$work/throughput.txt"
python3 - "$work/throughput.txt" "$requests" <<'EOF' || fail "median of two, in run order" /dev/null "$work/throughput.txt"
import re, sys
text = open(sys.argv[1]).read()
first, second = map(float, re.search(r"CPU seconds per run: (\S+) (\S+)$", text, re.M).groups())
median = int(re.search(r"^median: (\d+) ", text, re.M).group(1))
requests = int(sys.argv[2])
assert first < second, text
assert abs(median - (requests / first + requests / second) / 2) <= 1, text
EOF
# Without cmake or clang-format on PATH: bad arguments are refused before a build is tried (which
# would fail otherwise), and check-format says what is missing instead of listing every file.
mkdir "$work/bin"
ln -s "$(command -v bash)" "$(command -v dirname)" "$(command -v awk)" "$work/bin/"
# --help says what each script does and does nothing else: no install, no build, no removal.
for script in "$scripts"/*.sh "$scripts/../.ci/run"; do
  # The helpers the others source are not run on their own.
  [[ $script == */seed-ranges.sh || $script == */script-help.sh ]] && continue
  env PATH="$work/bin" "$script" --help > "$work/help.out" 2> "$work/help.err" ||
    fail "$script --help must succeed" /dev/null "$work/help.err"
  [[ ! -s $work/help.err && $(head -n 1 "$work/help.out") == *"$(basename "$script")"* ]] ||
    fail "$script --help names the script" "$work/help.out" "$work/help.err"
done
for script in setup.sh setup-browser.sh test.sh check-format.sh ../.ci/run; do
  refused 2 "usage:" env PATH="$work/bin" "$scripts/$script" extra
done
refused 2 "usage:" env PATH="$work/bin" "$scripts/build.sh" --fresh
refused 2 "usage:" env PATH="$work/bin" "$scripts/build-profiled.sh" -x
refused 2 "usage:" env PATH="$work/bin" "$scripts/tidy.sh" -x
refused 2 "cmake is not on PATH" env PATH="$work/bin" "$scripts/build.sh" "$work/never"
refused 2 "tidy: cmake is not on PATH" env PATH="$work/bin" "$scripts/tidy.sh" "$work/never"
[[ ! -e $work/never ]] || fail "a refused build makes no folder" /dev/null /dev/null
# The table generator explains itself, and refuses what it does not know, before it writes.
{ python3 "$scripts/combining-marks.py" --help > "$work/help.out" && grep -q "^usage:" "$work/help.out"; } ||
  fail "combining-marks.py --help prints its usage" /dev/null "$work/help.out"
refused 2 "unrecognized arguments: --bogus" python3 "$scripts/combining-marks.py" --bogus
for seconds in 0 -5 30s; do refused 2 "usage:" env PATH="$work/bin" "$scripts/fuzz.sh" "$seconds"; done
refused 2 "usage:" env PATH="$work/bin" "$scripts/build.sh"
refused 2 "usage:" env PATH="$work/bin" "$scripts/build-profiled.sh" ""
refused 2 "clang-format is not on PATH" env PATH="$work/bin" "$scripts/check-format.sh"

((skipped)) && { echo "trials_scripts_test: GNU parallel missing (scripts/setup.sh): skipped its part"; exit 77; }
echo "trials_scripts_test: passed"
