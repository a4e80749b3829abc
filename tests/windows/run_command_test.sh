#!/usr/bin/env bash
# The run command as a newcomer uses it without a display: the first run
# makes a factory-initial key, its owner's only, and a screenshot of the
# started window; the next run takes the key of the last run from its file,
# which the command line (scripts/cli) shares both ways; a damaged key file
# is refused by name and left alone; a second run while one runs ends at
# once and names it, and the first goes on unharmed; nothing is left running
# afterwards.
# Usage: run_command_test.sh SOURCE_DIR
set -u
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../support/shell_checks.sh"
umask 022  # the run must make its key file owner-only whatever the umask

start_run() {  # output file, arguments of scripts/run
    local output=$1
    shift
    # Into a file: a process left behind would hold a pipe open for good.
    timeout 300 env -u DISPLAY KEYADMIN_XVFB_SERVERNUM=230 "$root/scripts/run" "$@" \
        >"$output" 2>&1
}

run() {  # arguments of scripts/run; sets out and rc
    start_run "$work/out" "$@"
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

descends_from() {  # pid, ancestor
    local pid=$1
    while [ -n "$pid" ] && [ "$pid" -gt 1 ]; do
        [ "$pid" = "$2" ] && return 0
        pid=$(ps -o ppid= -p "$pid" | tr -d ' ')
    done
    return 1
}

key="$work/key"
shot="$work/shot.png"

case_name="first run, no display"
run --key-file "$key" --screenshot "$shot"
check "exit 0" test $rc -eq 0
check "says where the screenshot is" has "screenshot of the window: $shot"
check "says where the key keeps its memory" has "memory kept in $key"
check "a PNG of the window" bash -c "identify -format '%m %w' '$shot' | grep -qx 'PNG 370'"
check "a factory-initial key in the file" grep -qx 'cells 0\{80\}0d0\{36\}' "$key"
check "the key file is its owner's only" test "$(stat -c %a "$key")" = 600
check "so is its lock" test "$(stat -c %a "$key.lock")" = 600
check "nothing left running" nothing_left

case_name="next run"
before=$(cat "$key")
chmod 644 "$key"  # as a run before key files were owner-only left it
run --key-file "$key" --screenshot "$shot"
check "exit 0" test $rc -eq 0
check "takes the key of the last run" has "the key of the last run, memory in $key"
check "the file is as the key left it" test "$before" = "$(cat "$key")"
check "and its owner's only" test "$(stat -c %a "$key")" = 600

case_name="a key in use"
echo "left by a crash" >"$key.new" && chmod 666 "$key.new"
run --provisioned --key-file "$key" --screenshot "$shot"
check "exit 0" test $rc -eq 0
check "names the key's passwords" has "key password 1234, login ID demo-user"
check "the file holds them" grep -q '^cells .*31323334' "$key"
check "its owner's only, whatever file a crash left beside it" test "$(stat -c %a "$key")" = 600

case_name="the window's key through the command line"
cli_out=$(echo 1234 | "$root/scripts/cli" --key-file "$key" show-login-password 2>&1)
out=$cli_out
check "keyadmin-cli unlocks it with the window's key password" has "login password: demo-pass1"

case_name="a first key password set with the command line"
out=$(printf 'fromcli\nfromcli\n' | "$root/scripts/cli" --key-file "$key" --initial init 2>&1)
check "set" has "Key 4b41d001: its first key password was set."
check "the file holds it" grep -q '^cells 0\{80\}66726f6d636c69' "$key"
before=$(cat "$key")
run --key-file "$key" --screenshot "$shot"
check "exit 0" test $rc -eq 0
check "the window takes that key" has "the key of the last run, memory in $key"
check "and leaves it as it was" test "$before" = "$(cat "$key")"

case_name="a damaged key file"
head -c 100 "$key" >"$work/cut" && cp "$work/cut" "$key"
run --key-file "$key" --screenshot "$work/no.png"
check "exit non-zero" test $rc -ne 0
check "names the file and what is wrong" has "the virtual key file $key is truncated"
check "the file is left alone" cmp -s "$work/cut" "$key"
check "no screenshot" test ! -e "$work/no.png"
check "nothing left running" nothing_left

case_name="a second run while one runs"
start_run "$work/first" --key-file "$work/other-key" --screenshot "$work/first.png" --provisioned &
first=$!
for _ in $(seq 1200); do grep -q "memory kept in" "$work/first" && break; sleep 0.1; done
started=$(date +%s%N)
run --key-file "$work/other-key" --screenshot "$work/second.png"
took_ms=$((($(date +%s%N) - started) / 1000000))
first_running=$(kill -0 $first 2>/dev/null && echo yes)
holder=$(sed -n 's/.*(pid \([0-9]*\), started .*/\1/p' <<<"$out")
check "exit non-zero" test $rc -ne 0
check "at once (${took_ms} ms)" test $took_ms -lt 5000
check "names the run that holds the lock" has "another run of this source tree is running (pid "
check "which is the first" descends_from "${holder:-0}" "$first"
check "the first was still running" test "$first_running" = yes
check "no screenshot of its own" test ! -e "$work/second.png"
wait $first
rc=$?
out=$(cat "$work/first")
check "the first ends as usual" test $rc -eq 0
check "with its screenshot" bash -c "identify -format '%m %w' '$work/first.png' | grep -qx 'PNG 370'"
check "and its key in the file" grep -q '^cells .*31323334' "$work/other-key"
check "nothing left running" nothing_left

case_name="no key"
run --no-key --key-file "$key" --screenshot "$shot"
check "exit 0" test $rc -eq 0
check "says so" has "no key attached"
check "the damaged file is still left alone" cmp -s "$work/cut" "$key"

finish_checks "run command cases"
