#!/usr/bin/env bash
# The command line's Debian package, as a user installs it: its fields (name,
# version, architecture, and the libraries it needs, each one this system
# has), exactly its files (keyadmin-cli stripped, the manual pages in
# English and Korean, the udev rule under /usr/lib/udev/rules.d, the
# copyright file); then installed with dpkg into a scratch root, run there
# (--help, and list against a virtual key on a fake hidraw node), and
# removed, leaving nothing behind.
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
    ./usr/share/doc/keyadmin-cli/copyright ./usr/share/man/ko/man1/keyadmin-cli.1.gz \
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
for manual in man/man1 man/ko/man1; do
    page=$(zcat "$work/content/usr/share/$manual/keyadmin-cli.1.gz" 2>/dev/null)
    grep -q '^\.TH KEYADMIN\\-CLI 1' <<<"$page" || fail "$manual/keyadmin-cli.1.gz is no manual page"
    [ "$(grep -c '^\.TP' <<<"$page")" -ge 12 ] || fail "$manual/keyadmin-cli.1.gz lists too little"
done

# Installed into a scratch root, run, removed.
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg_root() { dpkg --root="$root" --force-not-root --force-depends "$@" >"$work/dpkg.log" 2>&1; }
if ! dpkg_root -i "$deb"; then
    fail "dpkg does not install the package:"
    cat "$work/dpkg.log"
else
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
