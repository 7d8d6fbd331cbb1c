#!/usr/bin/env bash
# bench_main_test.sh QVRADKIT_BENCH: the benchmark programs' entry point refuses, before measuring,
# what the library would misread (flags and the environment variables it reads as defaults), fails
# when nothing was measured or the results file could not be written, writes JSON that strict
# readers accept with the README's repetition flags, and computes the growth of the benchmarks
# that give a complexity size.
set -euo pipefail
bench=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fast=(--benchmark_filter='^BM_AdsService_shouldShowAd$' --benchmark_min_time=0.001)
fail() { echo "bench_main_test: $1" >&2; cat "$work/err" >&2 2>/dev/null || true; exit 1; }

# Exit status | environment (- for none) | extra argument (- for none) | text on stderr
while IFS='|' read -r want environment argument text; do
  env=(); [[ $environment == - ]] || env=("$environment")
  args=("${fast[@]}"); [[ $argument == - ]] || args+=("$argument")
  status=0
  env "${env[@]}" "$bench" "${args[@]}" >"$work/out" 2>"$work/err" || status=$?
  if ((status != want)) || ! grep -qF -- "$text" "$work/err"; then
    fail "$environment $argument: expected $want saying '$text', got $status"
  fi
done <<ROWS
1|-|--benchmark_filter=NoSuchBenchmark|no benchmark ran
2|-|--benchmark_format=xml|--benchmark_format=xml: the formats are console, json and csv
2|BENCHMARK_FORMAT=xml|-|BENCHMARK_FORMAT=xml: the formats are
2|BENCHMARK_OUT_FORMAT=|-|BENCHMARK_OUT_FORMAT=: the formats are
0|BENCHMARK_FORMAT=xml|--benchmark_format=console|
2|-|--benchmark_repetitions=0|--benchmark_repetitions=0: the repetitions are a whole number from 1
2|-|--benchmark_repetitions=-3|--benchmark_repetitions=-3: the repetitions
2|BENCHMARK_REPETITIONS=0|-|BENCHMARK_REPETITIONS=0: the repetitions
2|-|--benchmark_min_time=-1|--benchmark_min_time=-1: the minimum time is a number of seconds from 0
1|-|--benchmark_out=/dev/full|cannot write the results to /dev/full
0|-|--benchmark_out=$work/out.json|
ROWS

# The README's repetition flags: JSON on standard output and in the file, without NaN (the cv of
# an allocation count that is always 0), while the other aggregates keep the count.
"$bench" "${fast[@]}" --benchmark_repetitions=2 --benchmark_report_aggregates_only \
  --benchmark_format=json --benchmark_out="$work/out.json" >"$work/stdout.json" 2>"$work/err" ||
  fail "the repetitions run failed"
for report in "$work/stdout.json" "$work/out.json"; do
  python3 - "$report" <<'PY' || fail "$report is not strict JSON with the allocation counts"
import json, sys
def refuse(constant):
    raise ValueError(f"not JSON: {constant}")
runs = json.load(open(sys.argv[1]), parse_constant=refuse)["benchmarks"]
names = {run["aggregate_name"]: run for run in runs}
assert set(names) == {"mean", "median", "stddev", "cv"}, names.keys()
assert all(names[n]["allocs"] == 0 for n in ("mean", "median", "stddev")), runs
assert "allocs" not in names["cv"], names["cv"]
PY
done

# The benchmarks that give a complexity size get their growth computed (a BigO row).
"$bench" --benchmark_filter='^BM_(LabelShrinkingTitleLayout|BannerPictureUnbrokenTitle)/(10|1000)$' \
  --benchmark_min_time=0.001 --benchmark_format=json >"$work/growth.json" 2>"$work/err" ||
  fail "the growth run failed"
for name in BM_LabelShrinkingTitleLayout BM_BannerPictureUnbrokenTitle; do
  grep -q "\"name\": \"${name}_BigO\"" "$work/growth.json" || fail "no growth computed for $name"
done
echo "bench_main_test: passed"
