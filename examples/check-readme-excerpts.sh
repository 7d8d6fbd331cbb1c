#!/usr/bin/env bash
# check-readme-excerpts.sh [README]: checks that every code excerpt of the README is copied word
# for word from the file it names, so that the README cannot drift from the example it shows.
# An excerpt is one fenced code block between two markers:
#   <!-- excerpt: examples/host/HostApp.cpp -->
#   ```cpp
#   ...lines that appear, one after another, in that file...
#   ```
#   <!-- /excerpt -->
# The lines may be indented less than in the file, by the same amount each (a block cut from a
# function body). Fails, naming the README line, on an excerpt not found in its file, a missing
# file or a folder, an excerpt of blank lines only, a marker without its block or its end, and a
# README without any excerpt.
set -euo pipefail
if (($# > 1)) || { (($#)) && [[ -z $1 ]]; }; then
  echo "usage: $0 [README]" >&2
  exit 2
fi
readme=${1:-$(dirname "$0")/../README.md}
[[ -f $readme ]] || { echo "$0: no README at $readme" >&2; exit 2; }
root=$(cd "$(dirname "$readme")" && pwd)
awk -v root="$root" -v readme="$readme" '
function fail(line, text) { printf "%s:%d: %s\n", readme, line, text; bad = 1 }
# Whether the path is a folder (reading one is a fatal error in some awks), asked of sh with the
# path in single quotes (\047); a quote in the path ends them, is escaped, and starts them again.
function folder(file,    quoted, i, c) {
  quoted = "\047"
  for (i = 1; i <= length(file); i++) {
    c = substr(file, i, 1)
    quoted = quoted (c == "\047" ? "\047\\\047\047" : c)
  }
  return system("test -d " quoted "\047") == 0
}
# Whether the excerpt lines ex[1..n] appear one after another in the file, shifted by one indent.
function found(file,    m, line, i, j, indent, ok) {
  m = 0
  while ((getline line < file) > 0) src[++m] = line
  close(file)
  for (i = 0; i + n <= m; i++) {
    if (index(src[i + 1], ex[1]) == 0) continue
    indent = substr(src[i + 1], 1, length(src[i + 1]) - length(ex[1]))
    if (indent !~ /^[ \t]*$/ || indent ex[1] != src[i + 1]) continue
    ok = 1
    for (j = 2; j <= n && ok; j++) {
      if (ex[j] == "") ok = src[i + j] == ""
      else ok = src[i + j] == indent ex[j]
    }
    if (ok) return 1
  }
  return 0
}
/^<!-- excerpt: [^ ]+ -->$/ {
  if (path != "") fail(start, "excerpt not closed before the next one")
  path = $3; start = NR; n = 0; text = 0; state = "before"; ++count
  next
}
/^<!-- \/excerpt -->$/ {
  if (path == "") { fail(NR, "end of an excerpt that was not opened"); next }
  file = root "/" path
  isfolder = folder(file)
  readable = !isfolder && (getline probe < file) >= 0
  close(file)
  if (state != "after") fail(start, "excerpt of " path " has no complete fenced code block")
  else if (isfolder) fail(start, "excerpt names " path ", which is a folder, not a file")
  else if (!readable) fail(start, "excerpt names " path ", which does not exist")
  else if (!text) fail(start, "excerpt of " path " is empty" (n ? " (blank lines only)" : ""))
  else if (!found(file)) fail(start, "excerpt is not in " path " word for word (it begins \"" ex[1] "\")")
  path = ""
  next
}
path != "" && /^```/ {
  if (state == "before") state = "inside"
  else if (state == "inside") state = "after"
  else fail(NR, "a second code block in one excerpt")
  next
}
path != "" && state == "inside" { ex[++n] = $0; if ($0 ~ /[^ \t]/) text = 1 }
END {
  if (path != "") fail(start, "excerpt of " path " is not closed")
  if (count == 0) fail(NR, "no excerpts: the embedding section must be taken from examples/")
  if (bad) exit 1
  if (count == 1) printf "%s: 1 excerpt matches its file\n", readme
  else printf "%s: %d excerpts match their files\n", readme, count
}
' "$readme"
