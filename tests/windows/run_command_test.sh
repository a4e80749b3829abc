#!/usr/bin/env bash
# The run command as a newcomer uses it without a display: the first run
# makes a factory-initial key and a screenshot of the started window; the
# next run takes the key of the last run from its file; a damaged key file is
# refused by name and left alone; nothing is left running afterwards.
# Usage: run_command_test.sh SOURCE_DIR
set -u
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../support/shell_checks.sh"

run() {  # arguments of scripts/run; sets out and rc
    # Into a file: a process left behind would hold a pipe open for good.
    timeout 300 env -u DISPLAY KEYADMIN_XVFB_SERVERNUM=230 "$root/scripts/run" "$@" \
        >"$work/out" 2>&1
    rc=$?
    out=$(cat "$work/out")
}

# Processes of the run's Wine prefix, found by their environment.
left_running() {
    local prefix
    prefix=$(sed -n 's/^.*running the .* (build\/\([^)]*\)).*$/\1/p' <<<"$out" | head -n 1)
    [ -n "$prefix" ] || return 1
    grep -lsx "WINEPREFIX=$root/build/$prefix/run-prefix" --null-data /proc/[0-9]*/environ |
        grep -q .
}

nothing_left() { ! left_running; }

key="$work/key"
shot="$work/shot.png"

case_name="first run, no display"
run --key-file "$key" --screenshot "$shot"
check "exit 0" test $rc -eq 0
check "says where the screenshot is" has "screenshot of the window: $shot"
check "says where the key keeps its memory" has "memory kept in $key"
check "a PNG of the window" bash -c "identify -format '%m %w' '$shot' | grep -qx 'PNG 370'"
check "a factory-initial key in the file" grep -qx 'cells 0\{80\}0d0\{36\}' "$key"
check "nothing left running" nothing_left

case_name="next run"
before=$(cat "$key")
run --key-file "$key" --screenshot "$shot"
check "exit 0" test $rc -eq 0
check "takes the key of the last run" has "the key of the last run, memory in $key"
check "the file is as the key left it" test "$before" = "$(cat "$key")"

case_name="a key in use"
run --provisioned --key-file "$key" --screenshot "$shot"
check "exit 0" test $rc -eq 0
check "names the key's passwords" has "key password 1234, login ID demo-user"
check "the file holds them" grep -q '^cells .*31323334' "$key"

case_name="a damaged key file"
head -c 100 "$key" >"$work/cut" && cp "$work/cut" "$key"
run --key-file "$key" --screenshot "$work/no.png"
check "exit non-zero" test $rc -ne 0
check "names the file and what is wrong" has "the virtual key file $key is truncated"
check "the file is left alone" cmp -s "$work/cut" "$key"
check "no screenshot" test ! -e "$work/no.png"
check "nothing left running" nothing_left

case_name="no key"
run --no-key --key-file "$key" --screenshot "$shot"
check "exit 0" test $rc -eq 0
check "says so" has "no key attached"
check "the damaged file is still left alone" cmp -s "$work/cut" "$key"

finish_checks "run command cases"
