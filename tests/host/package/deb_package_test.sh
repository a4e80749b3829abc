#!/usr/bin/env bash
# The command line's Debian package, as a user installs it: its fields (name,
# version, architecture, and the libraries it needs, each one this system
# has), exactly its files (keyadmin-cli stripped, the manual pages in
# English and Korean, the udev rule under /usr/lib/udev/rules.d, the
# copyright file, the Debian changelog of this version); its postinst, run
# against a stand-in udevadm where udev runs, where it does not, where it
# fails and where there is none; lintian's errors, where lintian is
# installed; then installed with dpkg into a scratch root (the postinst
# touching no udev), run there (--help, and list against a virtual key on a
# fake hidraw node), and removed, leaving nothing behind.
# Usage: deb_package_test.sh DEB VERSION SOURCE-DIR VIRTUAL-HIDRAW
set -u
deb=$1 version=$2 source=$3 virtual_hidraw=$4
status=0
fail() { echo "FAIL: $*"; status=1; }

[ -f "$deb" ] || { echo "FAIL: no package $deb"; exit 1; }
deb=$(realpath "$deb")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = keyadmin-cli ] || fail "the package is called $(field Package)"
[ "$(field Version)" = "$version" ] || fail "the package's version is $(field Version), not $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] ||
    fail "the package is for $(field Architecture)"
depends=$(field Depends)
# Each dependency (name, or name (>= version)) as this system has it.
names=" "
while read -r name relation wanted; do
    [ -n "$name" ] || continue
    names+="$name "
    have=$(dpkg-query -W -f='${Version}' "$name" 2>/dev/null) ||
        { fail "the package depends on $name, which this system lacks"; continue; }
    [ -z "$relation" ] || dpkg --compare-versions "$have" "${relation#(}" "${wanted%)}" ||
        fail "the package needs $name $relation $wanted; this system has $have"
done < <(tr ',' '\n' <<<"$depends" | sed 's/^ *//')
for library in libc6 libstdc++6; do
    [[ $names == *" $library "* ]] || fail "the package does not depend on $library: $depends"
done

files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
expected=$(printf '%s\n' ./usr/bin/keyadmin-cli ./usr/lib/udev/rules.d/70-keyadmin-usb-key.rules \
    ./usr/share/doc/keyadmin-cli/changelog.gz ./usr/share/doc/keyadmin-cli/copyright \
    ./usr/share/man/ko/man1/keyadmin-cli.1.gz \
    ./usr/share/man/man1/keyadmin-cli.1.gz | sort)
if [ "$files" != "$expected" ]; then
    fail "the package holds other files than expected:"
    diff <(echo "$expected") <(echo "$files")
fi

dpkg-deb -x "$deb" "$work/content"
file -b "$work/content/usr/bin/keyadmin-cli" | grep -q ', stripped' ||
    fail "keyadmin-cli is not stripped: $(file -b "$work/content/usr/bin/keyadmin-cli")"
cmp -s "$source/packaging/linux/70-keyadmin-usb-key.rules" \
    "$work/content/usr/lib/udev/rules.d/70-keyadmin-usb-key.rules" ||
    fail "the udev rule is not the source tree's"
cmp -s "$source/LICENSE" "$work/content/usr/share/doc/keyadmin-cli/copyright" ||
    fail "the copyright file is not the licence"
changelog="$work/content/usr/share/doc/keyadmin-cli/changelog.gz"
if [ -f "$changelog" ]; then
    logged=$(zcat "$changelog" | dpkg-parsechangelog -l- -S Version 2>&1)
    [ "$logged" = "$version" ] || fail "the changelog's latest version is $logged, not $version"
    logged=$(zcat "$changelog" | dpkg-parsechangelog -l- -S Source 2>&1)
    [ "$logged" = keyadmin-cli ] || fail "the changelog is of $logged"
fi

# The postinst, against a stand-in udevadm that logs its calls: where udev
# runs it reloads the rules and triggers the hidraw devices alone; where
# udevd does not answer (a chroot, a container), where udevadm is missing,
# when the trigger fails and when dpkg installs into another root, it
# succeeds all the same.
dpkg-deb -e "$deb" "$work/control"
postinst="$work/control/postinst"
if [ ! -x "$postinst" ]; then
    fail "the package has no executable postinst"
else
    cmp -s "$source/packaging/linux/postinst" "$postinst" ||
        fail "the postinst is not the source tree's"
    stand_in="$work/udevadm"
    mkdir -p "$stand_in"
    run_postinst() {  # udevadm: none | running | no-daemon | trigger-fails; DPKG_ROOT
        rm -f "$stand_in/udevadm" "$work/udevadm.log"
        touch "$work/udevadm.log"
        if [ "$1" != none ]; then
            printf '#!/bin/sh\necho "$*" >>"%s"\n' "$work/udevadm.log" >"$stand_in/udevadm"
            [ "$1" = no-daemon ] && echo '[ "$1" = control ] && exit 1' >>"$stand_in/udevadm"
            [ "$1" = trigger-fails ] && echo '[ "$1" = trigger ] && exit 1' >>"$stand_in/udevadm"
            echo 'exit 0' >>"$stand_in/udevadm"
            chmod +x "$stand_in/udevadm"
        fi
        env -i PATH="$stand_in" DPKG_ROOT="$2" /bin/sh "$postinst" configure
    }
    reload="control --reload-rules"
    trigger="trigger --subsystem-match=hidraw --action=change"
    # udevadm | DPKG_ROOT | its calls, in order
    while IFS='|' read -r udevadm root calls; do
        if ! run_postinst "$udevadm" "$root" >"$work/postinst.out" 2>&1; then
            fail "the postinst fails with udevadm $udevadm: $(cat "$work/postinst.out")"
        fi
        made=$(paste -sd';' "$work/udevadm.log")
        [ "$made" = "$calls" ] ||
            fail "the postinst, with udevadm $udevadm${root:+ into $root}, calls '$made', not '$calls'"
    done <<EOF2
running||$reload;$trigger
trigger-fails||$reload;$trigger
no-daemon||$reload
none||
running|/srv/other-root|
EOF2
fi

if command -v lintian >/dev/null 2>&1; then
    lintian --fail-on error "$deb" >"$work/lintian.out" 2>&1 ||
        fail "lintian finds errors: $(grep '^E:' "$work/lintian.out" | tr '\n' ' ')"
else
    echo "lintian is not installed: not run"
fi

for manual in man/man1 man/ko/man1; do
    page=$(zcat "$work/content/usr/share/$manual/keyadmin-cli.1.gz" 2>/dev/null)
    grep -q '^\.TH KEYADMIN\\-CLI 1' <<<"$page" || fail "$manual/keyadmin-cli.1.gz is no manual page"
    [ "$(grep -c '^\.TP' <<<"$page")" -ge 12 ] || fail "$manual/keyadmin-cli.1.gz lists too little"
done

# Installed into a scratch root, run, removed.
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
# The postinst runs outside the scratch root (it has no shell), as dpkg runs
# it for a tree that is not the running system, with the logging udevadm
# first in the PATH: it must leave udev alone.
dpkg_root() {
    PATH="$work/udevadm:$PATH" dpkg --root="$root" --force-not-root --force-depends \
        --force-script-chrootless "$@" >"$work/dpkg.log" 2>&1
}
: >"$work/udevadm.log"
if ! dpkg_root -i "$deb"; then
    fail "dpkg does not install the package:"
    cat "$work/dpkg.log"
else
    [ ! -s "$work/udevadm.log" ] ||
        fail "installed into another root, the postinst calls udevadm: $(paste -sd';' "$work/udevadm.log")"
    help=$("$root/usr/bin/keyadmin-cli" --help) || fail "the installed keyadmin-cli --help fails"
    grep -q 'Exit codes:' <<<"$help" || fail "the installed keyadmin-cli --help lists no exit codes"
    listed=$("$virtual_hidraw" --key serial=4b41d001 login-id=packaged -- \
        "$root/usr/bin/keyadmin-cli" list) || fail "the installed keyadmin-cli list fails"
    [ "$listed" = "4b41d001  attached  login ID: packaged  device: /dev/hidraw0" ] ||
        fail "the installed keyadmin-cli lists: $listed"
    dpkg_root --purge keyadmin-cli || { fail "dpkg does not remove the package:"; cat "$work/dpkg.log"; }
    left=$(cd "$root" && find . -mindepth 1 ! -path ./var ! -path ./var/lib ! -path './var/lib/dpkg*' |
        sort)
    [ -z "$left" ] || fail "removing the package leaves: $(tr '\n' ' ' <<<"$left")"
    dpkg --root="$root" -s keyadmin-cli >/dev/null 2>&1 && fail "the package is still installed"
fi

[ $status -eq 0 ] && echo "ok: $deb: $(tr '\n' ' ' <<<"$files")(Depends: $depends)"
exit $status
