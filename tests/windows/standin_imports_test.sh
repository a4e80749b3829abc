#!/usr/bin/env bash
# The stand-in hid.dll and setupapi.dll must export exactly what the
# production program imports from the real ones, and the program must carry
# nothing of the virtual-key harness.
# Usage: standin_imports_test.sh OBJDUMP PROGRAM.exe HID.dll SETUPAPI.dll
set -u
objdump=$1 exe=$2
shift 2
status=0

imports_from() {  # exe, dll name (any case)
    "$objdump" -p "$1" | awk -v dll="$2" '
        /DLL Name:/ { inside = (tolower($3) == tolower(dll)); next }
        inside && NF == 0 { inside = 0 }
        inside && $1 ~ /^[0-9a-f]+$/ && NF == 3 { print $3 }' | sort
}

exports_of() {  # dll
    "$objdump" -p "$1" | awk '
        /\[Ordinal\/Name Pointer\] Table/ { inside = 1; next }
        inside && NF == 0 { inside = 0 }
        inside { print $NF }' | sort
}

for dll in "$@"; do
    name=$(basename "$dll")
    imported=$(imports_from "$exe" "$name")
    exported=$(exports_of "$dll")
    if [ -z "$imported" ]; then
        echo "FAIL: $exe imports nothing from $name"
        status=1
    elif [ "$imported" != "$exported" ]; then
        echo "FAIL: $name: the program imports and the stand-in exports differ:"
        diff <(echo "$imported") <(echo "$exported")
        status=1
    else
        echo "ok: $name:" $imported
    fi
done

if grep -a -q -i virtualhid "$exe"; then
    echo "FAIL: $exe carries the virtual-key harness"
    status=1
fi
exit $status
