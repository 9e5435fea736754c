#!/bin/sh
# check_shipped_program.sh <objdump> <program> <PE format>
# Fails unless the program is a PE image of the given format (pei-i386 or
# pei-x86-64), is at most 200 KB, and imports system DLLs only: a program
# that needs a DLL Windows does not ship fails to start on the user's PC,
# and one that grows past the limit has brought a runtime library in.
set -eu
objdump=$1
program=$2
format=$3
limit=204800

if ! "$objdump" -f "$program" | grep -q "file format $format\$"; then
    echo "$program: not a $format image" >&2
    exit 1
fi
size=$(stat -c %s "$program") || { echo "$program: its size cannot be read" >&2; exit 1; }
if [ "$size" -gt "$limit" ]; then
    echo "$program: $size bytes, more than the $limit allowed" >&2
    exit 1
fi
# The DLLs every Windows the program supports has in its system folder.
system_dlls=' ADVAPI32.DLL COMCTL32.DLL KERNEL32.DLL MSVCRT.DLL OLE32.DLL SETUPAPI.DLL SHELL32.DLL USER32.DLL VERSION.DLL '
for dll in $("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'a-z' 'A-Z'); do
    case "$system_dlls" in
        *" $dll "*) ;;
        *) echo "$program: imports $dll, which is not a system DLL" >&2; exit 1 ;;
    esac
done
echo "$program: $format, $size bytes, system DLLs only"
