#!/usr/bin/env bash
# readme_bench_block_test.sh README: the README's benchmark commands run top to bottom as written:
# every program of a build folder they run (build/DIR/...) comes from an earlier line of the same
# block that builds DIR (scripts/build.sh or scripts/build-profiled.sh), and every script they name
# is one of the tree's programs.
set -euo pipefail
readme=$1
root=$(cd "$(dirname "$readme")" && pwd)
awk -v root="$root" '
  /^## / { section = $0 }
  section == "## Benchmarks" && /^```sh$/ && !done { inside = 1; next }
  inside && /^```$/ { inside = 0; done = 1; next }
  !inside { next }
  {
    line = $0; sub(/[ \t]*#.*/, "", line)
    if (match(line, /scripts\/build(-profiled)?\.sh [^ ]+/)) {
      split(substr(line, RSTART, RLENGTH), words, " "); built[words[2]] = 1
    }
    rest = line
    while (match(rest, /(^|[ =])build\/[^ \/]+\//)) {
      folder = substr(rest, RSTART, RLENGTH); sub(/^[ =]/, "", folder); sub(/\/$/, "", folder)
      if (!(folder in built)) { printf "README: %s runs from %s before a line builds it\n", line, folder; bad = 1 }
      rest = substr(rest, RSTART + RLENGTH)
    }
    rest = line
    while (match(rest, /scripts\/[A-Za-z0-9_.-]+/)) {
      script = substr(rest, RSTART, RLENGTH)
      if (system("test -f \"" root "/" script "\" -a -x \"" root "/" script "\"") != 0) {
        printf "README: %s: no program %s\n", line, script; bad = 1
      }
      rest = substr(rest, RSTART + RLENGTH)
    }
    ++lines
  }
  END {
    if (!lines) { print "README: no sh block in the Benchmarks section"; exit 1 }
    exit bad
  }' "$readme"
