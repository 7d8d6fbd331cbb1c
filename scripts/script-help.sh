# shellcheck shell=bash
# script-help.sh: sourced by the project's scripts before they do anything, so that --help only
# prints and a script that takes no arguments refuses them before it installs or builds.
#   answer_help SCRIPT [ARGS...]       prints SCRIPT's top comment and exits 0 when the first of
#                                      ARGS is -h or --help (#SBATCH lines left out)
#   refuse_arguments SCRIPT [ARGS...]  exits 2 with a usage line when any ARGS are given

answer_help() {
  [[ ${2-} == -h || ${2-} == --help ]] || return 0
  awk 'NR > 1 && !/^#/ { exit } NR > 1 && !/^#SBATCH/ { sub(/^# ?/, ""); print }' "$1"
  exit 0
}

refuse_arguments() {
  (($# == 1)) || { echo "usage: $1 (no arguments; --help says what it does)" >&2; exit 2; }
}
