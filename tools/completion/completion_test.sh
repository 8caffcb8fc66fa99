#!/usr/bin/env bash
# The bash completion of vask-ini, called as bash calls it: each line of the
# table is the words typed (the cursor after the last), then what is offered.
#   completion_test.sh COMPLETION_FILE TOOL
set -euo pipefail
completion="$1"
tool="$(cd "$(dirname "$2")" && pwd)/$(basename "$2")"
# shellcheck source=/dev/null
source "${completion}"
work="$(mktemp -d "${TMPDIR:-/tmp}/vask-completion.XXXXXX")"
trap 'rm -rf "${work}"' EXIT
cd "${work}"
printf 'top=1\n[server]\nport=8443\nhost=a\n[client]\nretries=3\n' >settings.ini
touch other.txt

# The words typed; the last one is being completed.
offered() {
  COMP_WORDS=("${tool}" "$@")
  COMP_CWORD=$(($# ))
  COMPREPLY=()
  _vask_ini
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

failures=0
expect() {
  local expected="$1" actual
  shift
  actual="$(offered "$@")"
  if [ "${actual}" != "${expected}" ]; then
    echo "FAIL: vask-ini $* -> '${actual}', expected '${expected}'" >&2
    failures=$((failures + 1))
  fi
}

expect "check del dump fmt get list merge set" ""
expect "del dump" d
expect "--help --max-size --trace --version -h" -
expect "-- --all --help --max-size --strict --trace -h" get settings.ini -
expect "-- --format=sh --help --json --json-queue --max-size --trace -h" dump -
expect "--check" fmt settings.ini --c
expect "--existing" set --e
expect "-- --help --max-size --strict --trace -h" --trace check -
expect "other.txt settings.ini" get ""
expect "settings.ini" list s
expect "client server" get settings.ini ""
expect "server" dump settings.ini se
expect "host port" get settings.ini server ""
expect "retries" del --output - settings.ini client ""
expect "port" set --max-size 10 settings.ini server p
expect "- other.txt settings.ini" set settings.ini --output ""
expect "" set --max-size ""
expect "other.txt settings.ini" merge settings.ini ""
expect "" get settings.ini server port ""
expect "" fmt settings.ini ""

[ "${failures}" -eq 0 ] || exit 1
echo "completion: all cases offered as expected"
