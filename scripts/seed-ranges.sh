# shellcheck shell=bash
# seed-ranges.sh: sourced by trials-parallel.sh and trials-slurm.sh, which cut the seeds
# FIRST..LAST into SHARDS contiguous ranges, as even as whole seeds allow. Seeds run to 2^64-1,
# past the signed 64-bit numbers bash computes with, so a seed is kept as its decimal digits and
# only offsets from FIRST are computed: a run spans at most 2^63-1 seeds.
#   seed_plan FIRST LAST SHARDS   checks the run (a message on stderr and status 2 otherwise) and
#                                 sets seed_first, seed_total and seed_shards (at most seed_total)
#   seed_shard I                  prints the Ith range (from 0) of the plan as A..B
#   seed_shard_limit              checks that no shard of the plan spans more seeds than one
#                                 qvr-sandbox process plays (a message and status 2 otherwise)

# seed_digits S: S without leading zeros when it is a seed (0 to 18446744073709551615).
seed_digits() {
  [[ $1 =~ ^[0-9]+$ ]] || return 1
  local digits=${1#"${1%%[!0]*}"}
  digits=${digits:-0}
  # Twenty digits compare as text, digit by digit: the number is too large for (( )).
  # shellcheck disable=SC2071
  ((${#digits} < 20)) || [[ ${#digits} == 20 && ! $digits > 18446744073709551615 ]] || return 1
  printf %s "$digits"
}

# seed_halves S: "HIGH LOW", the seed S's digits above and below the ninth (both fit bash's numbers).
seed_halves() {
  if ((${#1} > 9)); then
    printf '%s %s' "$((10#${1:0:${#1}-9}))" "$((10#${1:${#1}-9}))"
  else
    printf '0 %s' "$((10#$1))"
  fi
}

# seed_add S N: the seed S plus the offset N (0 <= N < 2^63), in decimal.
seed_add() {
  local high low
  read -r high low <<<"$(seed_halves "$1")"
  low=$((low + $2 % 1000000000))
  high=$((high + $2 / 1000000000 + low / 1000000000))
  low=$((low % 1000000000))
  if ((high)); then printf '%d%09d' "$high" "$low"; else printf '%d' "$low"; fi
}

seed_plan() {
  local first last
  if ! first=$(seed_digits "$1") || ! last=$(seed_digits "$2") || ! [[ $3 =~ ^[1-9][0-9]{0,8}$ ]] ||
    ((${#first} > ${#last})) || [[ ${#first} == "${#last}" && $first > $last ]]; then
    echo "$0: FIRST and LAST must be seeds (0 to 18446744073709551615) with FIRST <= LAST," \
      "SHARDS a count from 1 to 999999999" >&2
    return 2
  fi
  local first_high first_low last_high last_low
  read -r first_high first_low <<<"$(seed_halves "$first")"
  read -r last_high last_low <<<"$(seed_halves "$last")"
  # LAST - FIRST as HIGH * 10^9 + LOW, then whether the count LAST - FIRST + 1 fits 2^63-1.
  local high=$((last_high - first_high)) low=$((last_low - first_low))
  if ((low < 0)); then low=$((low + 1000000000)) high=$((high - 1)); fi
  if ((high > 9223372036 || (high == 9223372036 && low > 854775806))); then
    echo "$0: FIRST..LAST holds more than 9223372036854775807 seeds, the most one run can count" >&2
    return 2
  fi
  seed_first=$first
  seed_total=$((high * 1000000000 + low + 1))
  seed_shards=$(($3 < seed_total ? $3 : seed_total))
}

seed_shard() {
  # total * i / shards, without the product: q * i + r * i / shards, where r * i < shards^2 < 10^18.
  local q=$((seed_total / seed_shards)) r=$((seed_total % seed_shards)) i=$1
  local from=$((q * i + r * i / seed_shards))
  local to=$((q * (i + 1) + r * (i + 1) / seed_shards - 1))
  printf '%s..%s\n' "$(seed_add "$seed_first" "$from")" "$(seed_add "$seed_first" "$to")"
}

# One process plays at most this many seeds (qvr-sandbox --seed-range refuses more): the plan is
# checked before any shard starts, not by each shard once it runs.
seed_shard_max=100000

seed_shard_limit() {
  local widest=$((seed_total / seed_shards + (seed_total % seed_shards > 0)))
  ((widest <= seed_shard_max)) && return
  local needed=$((seed_total / seed_shard_max + (seed_total % seed_shard_max > 0)))
  echo "$0: shards of up to $widest seeds; one shard plays at most $seed_shard_max:" \
    "use at least $needed shards" >&2
  return 2
}
