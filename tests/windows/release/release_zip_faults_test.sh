#!/usr/bin/env bash
# The release archive's check against faulty archives: each fault made from
# the good archive (or a small program built here) must fail the check with
# its own message, and the good archive must pass it.
# Usage: release_zip_faults_test.sh TOOL-PREFIX PE-FORMAT ZIP SOURCE-DIR MANIFEST VERSION \
#                                   UNSTRIPPED-EXE CXX
set -u
prefix=$1 format=$2 zip=$3 source=$4 manifest=$5 version=$6 unstripped=$7 cxx=$8
zip=$(realpath "$zip") source=$(realpath "$source") manifest=$(realpath "$manifest")
unstripped=$(realpath "$unstripped")
check="$(dirname "$0")/release_zip_test.sh"
folder=$(basename "$zip" .zip)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

(cd "$work" && mkdir good && cd good && cmake -E tar xf "$zip") || exit 1

# Small programs: one with the C++ runtime as DLLs, one static without
# resources, one static whose manifest and version are American English.
cat >"$work/small.cpp" <<'EOF'
#include <string>
int main(int argc, char** argv) { return static_cast<int>(std::string(argv[argc - 1]).size()); }
EOF
sed -e 's/LANG_KOREAN, SUBLANG_KOREAN/LANG_ENGLISH, SUBLANG_ENGLISH_US/' \
    "$source/resources/identity.rc" >"$work/english.rc"
cp "$(dirname "$manifest")/keyadmin_version.h" "$manifest" "$work/"
(
    cd "$work" &&
        "$cxx" -O1 -o runtime_dlls.exe small.cpp &&
        "$cxx" -O1 -static -s -o no_resources.exe small.cpp &&
        "${prefix}windres" -I. english.rc -O coff -o english.o &&
        "$cxx" -O1 -static -s -o english.exe small.cpp english.o
) || { echo "FAIL: the small programs do not build"; exit 1; }

# Makes the case's archive from the good one after its change; prints its path.
faulty_zip() {  # case, change (a command run in the case's copy of the folder)
    local dir="$work/$1"
    mkdir -p "$dir/tree" && cp -r "$work/good/$folder" "$dir/tree/"
    (cd "$dir/tree/$folder" && eval "$2") >/dev/null || echo "FAIL: $1: the change failed" >&2
    (cd "$dir/tree" && cmake -E tar cf "../$folder.zip" --format=zip "$folder")
    echo "$dir/$folder.zip"
}

source "$(dirname "$0")/../../support/refusal_checks.sh"

other_format=pei-x86-64
[ "$format" = pei-x86-64 ] && other_format=pei-i386
sed 's/asInvoker/requireAdministrator/' "$manifest" >"$work/other.manifest"
# The code-page element in a namespace that has none, in the manifest and in
# the program alike (same length): a manifest that asks for no code page.
ignore_code_page='s|SMI/2019/WindowsSettings">ko-KR|SMI/2005/WindowsSettings">ko-KR|'
sed "$ignore_code_page" "$manifest" >"$work/ignored_code_page.manifest"

# Case | change to the archive's folder | message the check must give
while IFS='|' read -r name change message; do
    expect "$name" "$message" "$prefix" "$format" "$(faulty_zip "$name" "$change")" "$source" \
        "$manifest" "$version"
done <<EOF
ExtraFile|cp keyadmin.exe hid.dll|holds other files
NoCommandLine|rm keyadmin-cli.exe|holds other files
CommandLineUnstripped|cp "$unstripped" keyadmin-cli.exe|keyadmin-cli.exe keeps its symbol table
CommandLineRuntimeDlls|cp "$work/runtime_dlls.exe" keyadmin-cli.exe|keyadmin-cli.exe imports
CommandLineNotAConsoleProgram|cp keyadmin.exe keyadmin-cli.exe|keyadmin-cli.exe is not a Windows CUI program
WindowNotAWindowProgram|cp keyadmin-cli.exe keyadmin.exe|keyadmin.exe is not a Windows GUI program
NoLicence|rm LICENSE|holds other files
NestedFolder|mkdir bin && mv keyadmin.exe bin/|holds other files
OtherReadme|echo more >>README.md|README.md in the archive is not
NoPicture|rm docs/keyadmin-window.png|README.md shows docs/keyadmin-window.png, which the archive does not carry
OversizedProgram|head -c 150000 /dev/zero >>keyadmin.exe|more than 81920; its largest sections: .rsrc
Unstripped|cp "$unstripped" keyadmin.exe|keeps its symbol table
RuntimeDlls|cp "$work/runtime_dlls.exe" keyadmin.exe|which is no system DLL
NoResources|cp "$work/no_resources.exe" keyadmin.exe|must carry exactly one manifest
NoVersion|cp "$work/no_resources.exe" keyadmin.exe|must carry exactly one version resource
EnglishResources|cp "$work/english.exe" keyadmin.exe|resources not in Korean (1042)
EOF

good=$zip
expect OtherWidth "keyadmin.exe is not $other_format" "$prefix" "$other_format" "$good" "$source" \
    "$manifest" "$version"
expect OtherManifest "the manifest in keyadmin.exe is not" "$prefix" "$format" "$good" "$source" \
    "$work/other.manifest" "$version"
expect IgnoredCodePage "the manifest lacks <activeCodePage" "$prefix" "$format" \
    "$(faulty_zip IgnoredCodePage "perl -pi -e '$ignore_code_page' keyadmin.exe")" "$source" \
    "$work/ignored_code_page.manifest" "$version"
expect OtherVersion "lacks: FILEVERSION 9, 8, 7, 0" "$prefix" "$format" "$good" "$source" \
    "$manifest" 9.8.7

if output=$(bash "$check" "$prefix" "$format" "$good" "$source" "$manifest" "$version" 2>&1); then
    echo "ok: the good archive passes"
else
    echo "FAIL: the good archive fails the check:"
    echo "$output"
    status=1
fi
exit $status
