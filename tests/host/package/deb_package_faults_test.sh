#!/usr/bin/env bash
# The Debian package's check against faulty packages made from the good one:
# each must fail the check with its own message, and the good one pass it.
# Usage: deb_package_faults_test.sh DEB VERSION SOURCE-DIR VIRTUAL-HIDRAW UNSTRIPPED-PROGRAM
# The postinst cases change the package's postinst, and the check then finds
# it is not the source tree's too; each must still be refused for what it does.
set -u
deb=$(realpath "$1") version=$2 source=$3 virtual_hidraw=$4 unstripped=$(realpath "$5")
check="$(dirname "$0")/deb_package_test.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

# Makes the case's package from the good one after its change; prints its path.
faulty_deb() {  # case, change (a command run in the unpacked package)
    local dir="$work/$1"
    mkdir -p "$dir" && dpkg-deb -R "$deb" "$dir/tree"
    (cd "$dir/tree" && eval "$2") >/dev/null || echo "FAIL: $1: the change failed" >&2
    dpkg-deb --root-owner-group -b "$dir/tree" "$dir/keyadmin-cli.deb" >/dev/null 2>&1
    echo "$dir/keyadmin-cli.deb"
}

source "$(dirname "$0")/../../support/refusal_checks.sh"

# Case | change (no | in it) | message the check must give
while IFS='|' read -r name change message; do
    expect "$name" "$message" "$(faulty_deb "$name" "$change")" "$version" "$source" \
        "$virtual_hidraw"
done <<EOF2
NoKoreanManual|rm usr/share/man/ko/man1/keyadmin-cli.1.gz|holds other files
RuleUnderEtc|mkdir -p etc/udev/rules.d && mv usr/lib/udev/rules.d/*.rules etc/udev/rules.d/|holds other files
OtherRule|echo '# more' >>usr/lib/udev/rules.d/70-keyadmin-usb-key.rules|the udev rule is not
Unstripped|cp "$unstripped" usr/bin/keyadmin-cli|keyadmin-cli is not stripped
NoDependencies|sed -i '/^Depends:/d' DEBIAN/control|does not depend on libc6
UnknownDependency|sed -i 's/^Depends: /Depends: libkeyadmin-nothing (>= 9), /' DEBIAN/control|which this system lacks
BrokenProgram|printf '#!/bin/sh\nexit 3\n' >usr/bin/keyadmin-cli|the installed keyadmin-cli --help fails
OtherName|sed -i 's/^Package: .*/Package: keyadmin/' DEBIAN/control|the package is called keyadmin
OtherVersion|sed -i 's/^Version: .*/Version: 0.9/' DEBIAN/control|the package's version is 0.9
NoChangelog|rm usr/share/doc/keyadmin-cli/changelog.gz|no-changelog
ChangelogOfAnotherVersion|cd usr/share/doc/keyadmin-cli && gunzip changelog.gz && sed -i '1s/([^)]*)/(0.9)/' changelog && gzip -9n changelog|the changelog's latest version is 0.9
NoPostinst|rm DEBIAN/postinst|has no executable postinst
PostinstTriggersEveryDevice|sed -i 's/ --subsystem-match=hidraw//' DEBIAN/postinst|not 'control --reload-rules;trigger --subsystem-match=hidraw
PostinstFailsWithTheTrigger|sed -i 's/ \x7c\x7c true$//' DEBIAN/postinst|the postinst fails with udevadm trigger-fails
PostinstIntoAnotherRootCallsUdev|sed -i 's/ \[ -z "\${DPKG_ROOT:-}" \] \&\&//' DEBIAN/postinst|installed into another root, the postinst calls udevadm
EOF2

if output=$(bash "$check" "$deb" "$version" "$source" "$virtual_hidraw" 2>&1); then
    echo "ok: the good package passes"
else
    echo "FAIL: the good package fails the check:"
    echo "$output"
    status=1
fi
exit $status
