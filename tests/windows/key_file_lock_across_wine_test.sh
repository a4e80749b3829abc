#!/usr/bin/env bash
# The lock of a virtual key file excludes across Wine: a native Linux
# program holding it (vkey::KeyFileLock on POSIX, an fcntl record lock)
# refuses the virtual-key server under Wine (LockFileEx), and the server
# holding it refuses the native program. The key file and its lock, made by
# the server under the tests' wineserver, are their owner's only.
# Usage: key_file_lock_across_wine_test.sh SOURCE_DIR BUILD_DIR
set -u
root=$1 build=$2
work=$(mktemp -d)
source "$(dirname "$0")/../support/shell_checks.sh"

holder="$work/holder"
if ! g++ -std=c++20 -I"$root/virtualkey" -o "$holder" "$root/tests/support/key_file_lock_holder.cpp" \
        "$root/virtualkey/key_file_lock.cpp" "$root/virtualkey/key_file_lock_posix.cpp" \
        "$root/virtualkey/failed_step_posix.cpp"; then
    echo "cannot build the native lock holder"
    exit 1
fi

# A server of the test's own, under the tree's Wine prefix. The wineserver
# makes the files: a fresh one gets the umask from here.
umask 077
export VIRTUALHID_INSTANCE="lock-across-$$"
vhidctl() { (cd "$build/bin" && "$build/wine-run" vhidctl.exe "$@" 2>&1); }
(cd "$build/bin" && exec "$build/wine-run" virtualhid-server.exe "$VIRTUALHID_INSTANCE") \
    >"$work/server.log" 2>&1 &
server=$!
trap 'vhidctl quit >/dev/null; wait $server; rm -rf "$work"' EXIT
for _ in $(seq 100); do vhidctl list >/dev/null && break; sleep 0.1; done

key="$work/key"
wine_key="Z:$key"

case_name="a native program holds the lock"
mkfifo "$work/hold"
"$holder" "$key" <"$work/hold" >"$work/holder.out" &
holding=$!
exec 7>"$work/hold"  # the holder holds the lock until this closes
for _ in $(seq 100); do [ -s "$work/holder.out" ] && break; sleep 0.05; done
out=$(cat "$work/holder.out")
check "it takes it" test "$out" = taken
out=$(vhidctl add-key "file=$wine_key" new)
check "the server under Wine is refused" has "error the virtual key file $wine_key is in use"
check "and makes no key file" test ! -e "$key"
exec 7>&-
wait $holding
out=$(vhidctl add-key key-password=1234 "file=$wine_key" new)
check "once it lets go, the server takes it" has "ok"
id=${out#ok }

case_name="the server under Wine holds the lock"
out=$("$holder" "$key" </dev/null)
rc=$?
check "the native program is refused" test $rc -eq 1
check "by the file's name" has "the virtual key file $key is in use"
out=$(stat -c '%a %n' "$key" "$key.lock")
check "the key file is its owner's only" has "600 $key"
check "so is its lock" has "600 $key.lock"
vhidctl remove "$id" >/dev/null
out=$("$holder" "$key" </dev/null)
check "once the key is removed, the native program takes it" test "$out" = taken

finish_checks "lock cases across Wine"
