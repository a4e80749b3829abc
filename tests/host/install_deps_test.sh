#!/usr/bin/env bash
# scripts/install-deps against stand-in apt-get, dpkg-query and dpkg that
# play the package archive: everything installs; `apt-get update` fails for
# one index; 32-bit Wine cannot be installed; a package every path needs
# cannot be installed; nothing is missing. No network, no real package is
# touched.
# Usage: install_deps_test.sh path/to/install-deps
set -u
install_deps=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/../support/shell_checks.sh"

# The stand-ins keep the "installed" packages in $STATE/installed, count the
# calls of apt-get update in $STATE/updates and log every apt-get call.
mkdir -p "$work/bin"
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STATE/calls"
case "$1" in
update)
    n=$(($(cat "$STATE/updates" 2>/dev/null || echo 0) + 1))
    echo $n >"$STATE/updates"
    if [ "$n" -le "${FAKE_UPDATE_FAILURES:-0}" ]; then
        echo "E: Failed to fetch .../binary-i386/Packages.xz  File has unexpected size" >&2
        exit 100
    fi
    exit 0 ;;
install)
    shift
    pkgs=()
    for a in "$@"; do [[ $a == -* ]] || pkgs+=("$a"); done
    for p in "${pkgs[@]}"; do
        if [[ " ${FAKE_UNINSTALLABLE:-} " == *" $p "* ]]; then
            echo "E: Unable to correct problems, you have held broken packages." >&2
            exit 100
        fi
    done
    printf '%s\n' "${pkgs[@]}" >>"$STATE/installed"
    exit 0 ;;
esac
exit 0
EOF
cat >"$work/bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
p=${!#}
grep -qxF "$p" "$STATE/installed" 2>/dev/null || exit 1
printf 'install ok installed'
EOF
cat >"$work/bin/dpkg" <<'EOF'
#!/usr/bin/env bash
case "$1" in
--print-foreign-architectures) cat "$STATE/arches" 2>/dev/null ;;
--add-architecture) echo "$2" >>"$STATE/arches" ;;
esac
EOF
# npm stands in for itself: it records the call and fills node_modules.
cat >"$work/bin/npm" <<'EOF'
#!/usr/bin/env bash
echo "npm $*" >>"$STATE/calls"
mkdir -p node_modules
EOF
printf '#!/bin/sh\necho 0\n' >"$work/bin/id"
printf '#!/bin/sh\necho ko_KR.utf8\n' >"$work/bin/locale"
chmod +x "$work/bin/"*

core_count=$(bash -c "source <(sed -n '/^core=(/,/)/p' '$install_deps'); echo \${#core[@]}")
page_count=$(bash -c "source <(sed -n '/^page=(/,/)/p' '$install_deps'); echo \${#page[@]}")

# Runs install-deps in a fresh archive state; sets out, rc and STATE.
play() {  # name, then VAR=value settings for the stand-ins
    local name=$1
    shift
    export STATE="$work/$name"
    mkdir -p "$STATE/page-tests"
    [ -e "$STATE/page-tests/package-lock.json" ] ||
        echo '{"lockfileVersion": 3}' >"$STATE/page-tests/package-lock.json"
    out=$(env "$@" PATH="$work/bin:$PATH" KEYADMIN_APT_UPDATE_PAUSE=0 \
        KEYADMIN_WINE32_STAMP="$STATE/wine32-stamp" KEYADMIN_PAGE_TESTS="$STATE/page-tests" \
        bash "$install_deps" ${ARGS:-} 2>&1)
    rc=$?
}

installed() { grep -qxF "$1" "$STATE/installed"; }
updates() { cat "$STATE/updates" 2>/dev/null || echo 0; }

case_name="everything installs"
play all
check "exit 0" test $rc -eq 0
check "every core and page package installed" \
    test "$(grep -vc ':i386' "$STATE/installed")" -eq "$((core_count + page_count))"
check "the page's test tools from the lockfile" grep -q '^npm ci ' "$STATE/calls"
check "wine32 installed" installed wine32:i386
check "wine32 in a step of its own" test "$(grep -c 'apt-get install' "$STATE/calls")" -eq 3
check "the last install is wine32 alone" bash -c "tail -n 1 '$STATE/calls' | grep -q 'install .* wine32:i386\$'"
check "i386 added" grep -qx i386 "$STATE/arches"
check "lists fetched twice (again after adding i386)" test "$(updates)" -eq 2
check "no warning" lacks "warning"

case_name="update partly fails, then succeeds"
play retry FAKE_UPDATE_FAILURES=2
check "exit 0" test $rc -eq 0
check "retried until it worked" test "$(updates)" -eq 4
check "says it retries" has "retrying"
check "no warning once it worked" lacks "warning"
check "core installed" installed wine64

case_name="update keeps failing for one index"
play partial FAKE_UPDATE_FAILURES=99 KEYADMIN_APT_UPDATE_ATTEMPTS=3
check "exit 0" test $rc -eq 0
check "a warning that it goes on" has "going on with the lists it has"
check "three attempts per update" test "$(updates)" -eq 6
check "installs anyway" installed xvfb
check "and wine32" installed wine32:i386

case_name="i386 step cannot be installed"
play no32 "FAKE_UNINSTALLABLE=wine32:i386"
check "exit 0" test $rc -eq 0
check "core installed" installed g++-mingw-w64-x86-64-posix
check "wine32 not installed" bash -c "! grep -qx 'wine32:i386' '$STATE/installed'"
check "one line saying what failed and what happens instead" \
    test "$(grep -c 'wine32:i386) cannot be installed.*Windows tests run on the 64-bit build' <<<"$out")" -eq 1
check "apt's own error is not shown" lacks "held broken packages"

case_name="i386 step failed within the hour"
play lately "FAKE_UNINSTALLABLE=wine32:i386"
calls=$(wc -l <"$STATE/calls")
play lately "FAKE_UNINSTALLABLE=wine32:i386"
check "exit 0" test $rc -eq 0
check "the archive is not asked again" test "$(wc -l <"$STATE/calls")" -eq "$calls"
check "still says it in one line" \
    test "$(grep -c 'wine32:i386) cannot be installed' <<<"$out")" -eq 1
touch -d '-2 hours' "$STATE/wine32-stamp"
play lately "FAKE_UNINSTALLABLE=wine32:i386"
check "asked again an hour later" test "$(wc -l <"$STATE/calls")" -gt "$calls"
touch -d '-2 hours' "$STATE/wine32-stamp"
play lately
check "once the archive can, it is installed" installed wine32:i386
check "and the stamp is gone" test ! -e "$STATE/wine32-stamp"

case_name="a package every path needs cannot be installed"
play nocore "FAKE_UNINSTALLABLE=wine64"
check "exit non-zero" test $rc -ne 0
check "names the package" has "cannot install from the archive:"
check "names wine64" bash -c "grep 'cannot install from the archive:' <<<'$out' | grep -qw wine64"
check "does not go on to wine32" bash -c "! grep -q 'wine32' '$STATE/calls'"

case_name="the first step only"
ARGS=--core play core
check "exit 0" test $rc -eq 0
check "every core package installed" test "$(grep -vc ':i386' "$STATE/installed")" -eq "$core_count"
check "no 32-bit Wine" bash -c "! grep -q 'wine32' '$STATE/calls'"
check "no i386 architecture" test ! -e "$STATE/arches"
check "says nothing of it" lacks "wine32"

case_name="the page's command"
ARGS=--web play web
check "exit 0" test $rc -eq 0
check "core and page packages installed" \
    test "$(grep -vc ':i386' "$STATE/installed")" -eq "$((core_count + page_count))"
check "chromium among them" installed chromium
check "no 32-bit Wine" bash -c "! grep -q 'wine32' '$STATE/calls'"
calls=$(wc -l <"$STATE/calls")
ARGS=--web play web
check "npm ci not run again for the same lockfile" test "$(wc -l <"$STATE/calls")" -eq "$calls"
echo '{"lockfileVersion": 3, "changed": true}' >"$STATE/page-tests/package-lock.json"
ARGS=--web play web
check "npm ci run again for a changed lockfile" test "$(grep -c '^npm ci' "$STATE/calls")" -eq 2

case_name="nothing missing"
export STATE="$work/none"
mkdir -p "$STATE/page-tests/node_modules"
{ sed -n '/^core=(/,/)/p;/^page=(/,/)/p' "$install_deps" | tr -d '()' |
      sed 's/^core=//;s/^page=//' | tr ' ' '\n'
  echo wine32:i386; } | grep -v '^$' >"$STATE/installed"
echo '{"lockfileVersion": 3}' >"$STATE/page-tests/package-lock.json"
cp "$STATE/page-tests/package-lock.json" "$STATE/page-tests/node_modules/.keyadmin-lockfile"
play none
check "exit 0" test $rc -eq 0
check "apt-get never called" test ! -e "$STATE/calls"
check "prints nothing" test -z "$out"

finish_checks "install-deps cases"
