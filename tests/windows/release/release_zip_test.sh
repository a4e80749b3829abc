#!/usr/bin/env bash
# The release archive, as a user gets it: keyadmin.exe, keyadmin-cli.exe,
# README.md with the picture it shows, and LICENSE in one folder and nothing
# else; both programs stripped, of the tree's width, importing system DLLs
# only (no MinGW runtime DLL); the window program no larger than its work
# (kMaxProgramBytes), carrying its application manifest and version
# resource, in Korean (1042) like every resource of the program, the command
# line a console program. Needs no Wine: binutils read the files.
# Usage: release_zip_test.sh TOOL-PREFIX PE-FORMAT ZIP SOURCE-DIR MANIFEST VERSION [UNPACK-DIR]
#   TOOL-PREFIX  the toolchain's, e.g. i686-w64-mingw32- (for objdump, windres)
#   PE-FORMAT    objdump's name of the expected format: pei-i386 or pei-x86-64
#   MANIFEST     the manifest as the build made it; VERSION e.g. 1.0.0
#   UNPACK-DIR   where to leave the unpacked archive (a temporary folder if none)
set -u
prefix=$1 format=$2 zip=$3 source=$4 manifest=$5 version=$6 unpack=${7:-}
objdump=${prefix}objdump windres=${prefix}windres
status=0
fail() { echo "FAIL: $*"; status=1; }

[ -f "$zip" ] || { echo "FAIL: no archive $zip"; exit 1; }
zip=$(realpath "$zip")
if [ -z "$unpack" ]; then
    unpack=$(mktemp -d)
    trap 'rm -rf "$unpack"' EXIT
else
    rm -rf "$unpack" && mkdir -p "$unpack"
fi
(cd "$unpack" && cmake -E tar xf "$zip") || { echo "FAIL: $zip does not unpack"; exit 1; }

# The archive's files: one folder named as the archive, five files in it.
folder=$(basename "$zip" .zip)
picture=docs/keyadmin-window.png
files=$(cd "$unpack" && find . -mindepth 1 ! -type d | sed 's|^\./||' | sort)
expected=$(printf '%s\n' "$folder/LICENSE" "$folder/README.md" "$folder/$picture" \
    "$folder/keyadmin.exe" "$folder/keyadmin-cli.exe" | sort)
if [ "$files" != "$expected" ]; then
    fail "the archive holds other files than the two programs, README.md, its picture and LICENSE:"
    diff <(echo "$expected") <(echo "$files")
fi
for doc in README.md LICENSE "$picture"; do
    [ ! -f "$unpack/$folder/$doc" ] || cmp -s "$source/$doc" "$unpack/$folder/$doc" ||
        fail "$doc in the archive is not the source tree's"
done
# Every picture the README shows is in the archive beside it.
for shown in $(grep -o '!\[[^]]*\]([^)]*)' "$unpack/$folder/README.md" 2>/dev/null | sed 's/.*](\(.*\))/\1/'); do
    [ -f "$unpack/$folder/$shown" ] || fail "README.md shows $shown, which the archive does not carry"
done
exe=$unpack/$folder/keyadmin.exe
[ -f "$exe" ] || { echo "FAIL: no keyadmin.exe in the archive"; exit 1; }

# Width and stripping: no symbols, no debug sections. Imports: system DLLs
# only; the key's (hid, setupapi) must be among them, so an import table that
# could not be read is not taken for a clean one. The subsystem: GUI for the
# window, console for the command line.
system_dlls=" kernel32.dll user32.dll gdi32.dll hid.dll setupapi.dll msvcrt.dll advapi32.dll bcrypt.dll "
check_program() {  # path, subsystem (objdump's words); sets program_dlls
    local program=$1 subsystem=$2 name header debug dlls dll
    name=$(basename "$program")
    "$objdump" -f "$program" | grep -q "file format $format\$" ||
        fail "$name is not $format: $("$objdump" -f "$program" | grep -o 'file format.*')"
    header=$("$objdump" -p "$program")
    grep -q 'symbols stripped' <<<"$header" || fail "$name keeps its symbol table"
    debug=$("$objdump" -h "$program" | awk '$2 ~ /^\.debug/ { print $2 }')
    [ -z "$debug" ] || fail "$name keeps debug sections:" $debug
    grep -q "^Subsystem.*($subsystem)" <<<"$header" || fail "$name is not a $subsystem program"
    dlls=$(awk '/DLL Name:/ { print tolower($3) }' <<<"$header" | sort -u)
    for dll in $dlls; do
        case "$system_dlls" in
            *" $dll "*) ;;
            *) fail "$name imports $dll, which is no system DLL" ;;
        esac
    done
    for dll in kernel32.dll hid.dll setupapi.dll; do
        grep -qx "$dll" <<<"$dlls" || fail "$name does not import $dll"
    done
    program_dlls=$dlls
}
cli=$unpack/$folder/keyadmin-cli.exe
[ -f "$cli" ] || { echo "FAIL: no keyadmin-cli.exe in the archive"; exit 1; }
check_program "$exe" "Windows GUI"
dlls=$program_dlls

# The window program's size. Its resources (the banner alone is 44 KB) and a
# few tens of KB of code: the C++ runtime's exception support, linked in,
# would take it past this at once.
kMaxProgramBytes=81920
size=$(stat -c %s "$exe")
if [ "$size" -gt "$kMaxProgramBytes" ]; then
    largest=$("$objdump" -h "$exe" | awk '$1 ~ /^[0-9]+$/ { print $2, $3 }' |
        while read -r name hex; do echo "$((16#$hex)) $name"; done | sort -rn | head -n 4 |
        awk '{ printf "%s%s %d", (NR > 1 ? ", " : ""), $2, $1 }')
    fail "keyadmin.exe is $size bytes, more than $kMaxProgramBytes; its largest sections: $largest"
fi
check_program "$cli" "Windows CUI"
cli_dlls=$program_dlls
header=$("$objdump" -p "$exe")

# Resources: type, id, language, data address and size of each, from the
# resource directory that objdump prints, entries nested by indentation
# (3 spaces: type, 5: id, 7: language).
resources=$(awk '
    /Resource Directory section:/ { inside = 1; next }
    !inside { next }
    /Entry: ID:/ {
        depth = index($0, "Entry") - length($1) - 1
        id = $4; sub(/,$/, "", id)
        if (depth == 3) type = id; else if (depth == 5) name = id; else language = id
    }
    /Entry: name:/ { print "named"; exit }
    /Leaf: Addr:/ { address = $4; size = $6; sub(/,$/, "", address); sub(/,$/, "", size)
                    print type, name, language, address, size }
    /Resources start at/ { exit }' <<<"$header" |
    while read -r type name language address size; do
        [ "$type" = named ] && { echo named; continue; }
        echo $((type)) $((name)) $((language)) $((address)) $((size))
    done)
if [ -z "$resources" ] || grep -q named <<<"$resources"; then
    fail "the resource directory could not be read, or a resource is named: ${resources:-none}"
fi
foreign=$(awk '$3 != 1042' <<<"$resources")
[ -z "$foreign" ] || fail "resources not in Korean (1042): type id language: $(cut -d' ' -f1-3 <<<"$foreign")"

# The bytes of one resource: its address less its section's, plus the
# section's place in the file (objdump gives section addresses with the
# image base).
resource_bytes() {  # type id
    local address size base idx name section_size vma lma offset rest
    read -r _ _ _ address size < <(awk -v type="$1" -v id="$2" '$1 == type && $2 == id' <<<"$resources")
    base=$((0x$(awk '/^ImageBase/ { print $2 }' <<<"$header")))
    while read -r idx name section_size vma lma offset rest; do
        [[ $idx =~ ^[0-9]+$ ]] || continue
        vma=$((0x$vma - base))
        if ((address >= vma && address < vma + 0x$section_size)); then
            tail -c +$((address - vma + 0x$offset + 1)) "$exe" | head -c "$size"
            return
        fi
    done < <("$objdump" -h "$exe")
}

count_of() { awk -v type="$1" '$1 == type' <<<"$resources" | wc -l; }

# The application manifest: one, id 1, the build's file byte for byte, and
# what it must say.
if [ "$(count_of 24)" -ne 1 ] || [ -z "$(awk '$1 == 24 && $2 == 1' <<<"$resources")" ]; then
    fail "keyadmin.exe must carry exactly one manifest, id 1 (has $(count_of 24))"
else
    embedded=$(resource_bytes 24 1 | base64 -w0)
    [ "$embedded" = "$(base64 -w0 <"$manifest")" ] ||
        fail "the manifest in keyadmin.exe is not $manifest"
    text=$(resource_bytes 24 1)
    for needed in 'level="asInvoker"' 'uiAccess="false"' '>false</dpiAware>' \
                  '<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">ko-KR</activeCodePage>' \
                  "version=\"$version.0\"" \
                  '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}' '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}' \
                  '{1f676c76-80e1-4239-95bb-83d0f6d0da78}' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'; do
        grep -qF -- "$needed" <<<"$text" || fail "the manifest lacks $needed"
    done
    if grep -q 'Microsoft.Windows.Common-Controls\|<dependency' <<<"$text"; then
        fail "the manifest depends on another assembly (common controls 6?)"
    fi
fi

# The version resource, as the toolchain's resource compiler reads it back.
if [ "$(count_of 16)" -ne 1 ]; then
    fail "keyadmin.exe must carry exactly one version resource (has $(count_of 16))"
else
    IFS=. read -r major minor patch <<<"$version"
    rc=$("$windres" -i "$exe" -O rc | awk '/^1 VERSIONINFO/ { inside = 1 } inside { print } inside && /^END/ { exit }')
    for line in "FILEVERSION $major, $minor, $patch, 0" "PRODUCTVERSION $major, $minor, $patch, 0" \
                 'BLOCK "041203b5"' 'VALUE "Translation", 0x412, 949' \
                 'VALUE "ProductName", "KeyAdmin"' \
                 'VALUE "FileDescription", L"KeyAdmin: USB \xc778\xc99d\xd0a4 \xad00\xb9ac"' \
                 'VALUE "CompanyName", "The KeyAdmin developers"' \
                 'VALUE "LegalCopyright", "Copyright (c) 2026 The KeyAdmin developers"' \
                 'VALUE "OriginalFilename", "keyadmin.exe"' \
                 "VALUE \"FileVersion\", \"$version\"" "VALUE \"ProductVersion\", \"$version\""; do
        grep -qF -- "$line" <<<"$rc" || fail "the version resource lacks: $line"
    done
    [ "$(grep -c 'BLOCK "0' <<<"$rc")" -eq 1 ] || fail "the version resource has more than one string block"
fi

[ $status -eq 0 ] && echo "ok: $zip: $(tr '\n' ' ' <<<"$files")($format; keyadmin.exe $size bytes, imports:" $dlls"; manifest and version resource, 1042; keyadmin-cli.exe imports:" $cli_dlls")"
exit $status
