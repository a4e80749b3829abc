#!/usr/bin/env bash
# scripts/cli as a newcomer uses it: a fresh factory-initial key in the
# window's key-file format, its first key password set and kept for the next
# run (as the window's run command keeps it), a key in use, a second key for
# --serial, keys plugged in for init --each, keyadmin-cli's own options after
# the script's, and a damaged key file refused by name and left alone.
# Usage: scripts_cli_test.sh SOURCE_DIR
set -u
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../../support/shell_checks.sh"
key="$work/key"

cli() {  # arguments of scripts/cli, standard input from $input; sets out, err and rc
    "$root/scripts/cli" --key-file "$key" "$@" <<<"${input:-}" >"$work/out" 2>"$work/err"
    rc=$?
    out=$(cat "$work/out")
    err=$(cat "$work/err")
}
in_err() { grep -qF -- "$1" <<<"$err"; }

case_name="first run"
input="" cli list
check "exit 0" test $rc -eq 0
check "a factory-initial key" has "4b41d001  factory-initial  device: /dev/hidraw0"
check "says where it keeps the key" in_err "a fresh factory-initial key, memory kept in $key"
check "the window's key-file format" grep -qx 'KeyAdmin virtual key memory, format 1' "$key"
check "a factory-initial key in the file" grep -qx 'cells 0\{80\}0d0\{36\}' "$key"

case_name="first key password"
input=$'first\nfirst' cli init
check "exit 0" test $rc -eq 0
check "says so" has "Key 4b41d001: its first key password was set."
check "the file holds it" grep -qx 'cells 0\{80\}66697273740\{28\}' "$key"

case_name="next run"
input=first cli show-login-password
check "exit 0" test $rc -eq 0
check "the key of the last run" in_err "the key of the last run, memory in $key"
check "unlocked by the password set before" has "login password:"

case_name="a key in use"
input=1234 cli --provisioned show-login-password
check "exit 0" test $rc -eq 0
check "its login password" has "login password: demo-pass1"

case_name="a second key"
cli --second-key status
check "exit 4" test $rc -eq 4
check "both listed" has "4b41d002  attached  login ID: second-user"
cli --second-key --json status --serial 4b41d002
check "keyadmin-cli's own options pass" test $rc -eq 0
check "a JSON document" has '"serial": "4b41d002"'

case_name="keys plugged in"
input="" cli --plug-in 2 init --each --random --count 2 --csv
check "exit 0" test $rc -eq 0
check "the first plugged in" bash -c "grep -qE '^4b41e001,[A-Za-z0-9]{11},set,' <<<'$out'"
check "the second plugged in" bash -c "grep -qE '^4b41e002,[A-Za-z0-9]{11},set,' <<<'$out'"
check "the key of the file skipped" has "4b41d001,,skipped,"

case_name="a damaged key file"
head -c 60 "$key" >"$work/cut" && cp "$work/cut" "$key"
cli list
check "exit non-zero" test $rc -ne 0
check "names the file" in_err "$key"
check "the file is left alone" cmp -s "$work/cut" "$key"

finish_checks "scripts/cli cases"
