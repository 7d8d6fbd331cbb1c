#!/usr/bin/env bash
# Runs check-readme-excerpts.sh over small READMEs beside a copy of one source file: it must pass
# a word-for-word excerpt (also one indented less than its file) and fail, naming the README line,
# an excerpt that drifted, one indented more than its file, one of a missing file or of a folder,
# one of blank lines only, an unclosed excerpt, an excerpt without a code block, and a README
# without excerpts; an empty README path is refused, not taken for the default one.
set -euo pipefail
check=$(cd "$(dirname "$0")" && pwd)/check-readme-excerpts.sh
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir -p "$dir/examples/host"
cat >"$dir/examples/host/App.cpp" <<'CPP'
void App::connect() {
  if (auto ad = ads_->interstitialAd(placement)) {
    ad->present(root_);
  }
}
CPP

failures=0
# expect PASS|FAIL NAME README-TEXT [TEXT-THE-OUTPUT-MUST-HOLD]
expect() {
  local want=$1 name=$2 text=$3 must=${4:-}
  printf '%s' "$text" >"$dir/README.md"
  local out status=0
  out=$("$check" "$dir/README.md" 2>&1) || status=$?
  local got=PASS
  [ "$status" -eq 0 ] || got=FAIL
  if [ "$got" != "$want" ] || { [ -n "$must" ] && [[ "$out" != *"$must"* ]]; }; then
    echo "not ok: $name: wanted $want${must:+ saying \"$must\"}, got $got: $out"
    failures=$((failures + 1))
  else
    echo "ok: $name"
  fi
}

open='<!-- excerpt: examples/host/App.cpp -->'
close='<!-- /excerpt -->'
fence='```'
expect PASS "whole function" "$open
${fence}cpp
void App::connect() {
  if (auto ad = ads_->interstitialAd(placement)) {
    ad->present(root_);
  }
}
$fence
$close
" "1 excerpt matches its file"
expect PASS "cut from the body, indented less" "intro
$open
${fence}cpp
if (auto ad = ads_->interstitialAd(placement)) {
  ad->present(root_);
}
$fence
$close
"
expect FAIL "a line drifted" "line one
$open
${fence}cpp
if (auto ad = ads_->interstitialAd(placement)) {
  ad->present(rootViewController_);
}
$fence
$close
" "README.md:2: excerpt is not in examples/host/App.cpp word for word"
expect FAIL "indented more than its file" "$open
${fence}cpp
      ad->present(root_);
$fence
$close
" "word for word"
expect FAIL "lines out of order" "$open
${fence}cpp
  ad->present(root_);
if (auto ad = ads_->interstitialAd(placement)) {
$fence
$close
" "word for word"
expect FAIL "missing file" "${open/App.cpp/Gone.cpp}
${fence}cpp
void App::connect() {
$fence
$close
" "which does not exist"
expect FAIL "a folder" "line one
${open/App.cpp/}
${fence}cpp
void App::connect() {
$fence
$close
" "README.md:2: excerpt names examples/host/, which is a folder"
expect FAIL "blank lines only" "$open
${fence}cpp

  
$fence
$close
" "README.md:1: excerpt of examples/host/App.cpp is empty"
expect FAIL "not closed" "$open
${fence}cpp
void App::connect() {
$fence
" "is not closed"
expect FAIL "no code block" "$open
void App::connect() {
$close
" "has no complete fenced code block"
expect FAIL "no excerpts" "# Title
" "no excerpts"

if out=$("$check" "" 2>&1) || [[ $out != usage:* ]]; then
  echo "not ok: empty path: wanted a usage line and a failure, got: $out"
  failures=$((failures + 1))
else
  echo "ok: empty path"
fi

[ "$failures" -eq 0 ] || exit 1
