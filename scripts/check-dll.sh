#!/usr/bin/env bash
# Checks the shipped plug-in DLL: it exports exactly GetFilterTable, undecorated, imports nothing
# beyond the system's own DLLs, and carries no symbols or debug sections.
set -euo pipefail
dll=${1:-build/mingw/tonalith.dll}
dump=$(i686-w64-mingw32-objdump -p "$dll")

grep -q "file format pei-i386" <<<"$(i686-w64-mingw32-objdump -f "$dll")" \
    || { echo "check-dll: $dll is not a 32-bit x86 DLL" >&2; exit 1; }

header=$(i686-w64-mingw32-objdump -f "$dll")
if grep -q "HAS_SYMS" <<<"$header"; then
    echo "check-dll: $dll carries a symbol table (ship it stripped)" >&2
    exit 1
fi
debug=$(i686-w64-mingw32-objdump -h "$dll" | awk '$2 ~ /^\.debug/ {printf "%s ", $2}')
if [ -n "$debug" ]; then
    echo "check-dll: $dll carries debug sections: $debug(ship it stripped)" >&2
    exit 1
fi

exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[ \t]*\[/{print $NF} on && /^[ \t]*$/{on=0}' <<<"$dump")
if [ "$exports" != "GetFilterTable" ]; then
    echo "check-dll: expected exactly one export, GetFilterTable; found: ${exports:-none}" >&2
    exit 1
fi

allowed="^(KERNEL32|USER32|GDI32|msvcrt)\.dll$"
status=0
while read -r name; do
    if ! grep -Eiq "$allowed" <<<"$name"; then
        echo "check-dll: unexpected import $name" >&2
        status=1
    fi
done < <(awk '/DLL Name:/{print $3}' <<<"$dump")
[ $status -eq 0 ] || exit 1
echo "check-dll: $dll is stripped, exports GetFilterTable only; imports $(awk '/DLL Name:/{printf "%s ", $3}' <<<"$dump")"
