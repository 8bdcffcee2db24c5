#!/usr/bin/env bash
# Checks a built plugin DLL: every name of the .def file is exported under its
# plain name (no "_Name@16" decoration), and the DLL imports only system DLLs
# (the C and C++ runtimes are linked in); the .wfx is an i386 PE and the
# .wfx64 an x86-64 one, and neither carries debug sections (they ship stripped).
set -u
dll=$1
def=$2
if [ ! -f "$dll" ]; then
    echo "FAIL: $dll was not built (run ./build.sh)"
    exit 1
fi
dump=$(x86_64-w64-mingw32-objdump -p "$dll") || { echo "FAIL: objdump cannot read $dll"; exit 1; }
exports=$(printf '%s\n' "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[ \t]*\[/{print $NF} t&&/^$/{t=0}')
status=0
case "$dll" in
    *.wfx64) want=pei-x86-64 ;;
    *.wfx) want=pei-i386 ;;
    *) want="" ;;
esac
format=$(x86_64-w64-mingw32-objdump -f "$dll" | awk '/file format/{print $NF; exit}')
if [ -n "$want" ] && [ "$format" != "$want" ]; then
    echo "FAIL: $dll is $format, a host of its kind loads only $want"
    status=1
fi
debug=$(x86_64-w64-mingw32-objdump -h "$dll" | awk '$2 ~ /^\.debug/{print $2}' | tr '\n' ' ')
if [ -n "$debug" ]; then
    echo "FAIL: $dll ships debug sections: $debug"
    status=1
fi
for name in $(awk '/^EXPORTS/{e=1;next} e&&NF{print $1}' "$def"); do
    if ! printf '%s\n' "$exports" | grep -qx "$name"; then
        echo "FAIL: $dll does not export $name; it exports: $(echo $exports)"
        status=1
    fi
done
if printf '%s\n' "$exports" | grep -q '@'; then
    echo "FAIL: decorated names in $dll: $(printf '%s\n' "$exports" | grep '@' | tr '\n' ' ')"
    status=1
fi
allowed='^(KERNEL32|USER32|ADVAPI32|SHELL32|OLE32|COMCTL32|COMDLG32|GDI32|msvcrt|api-ms-win-crt-[a-z-]+-l1-1-0)\.dll$'
for import in $(printf '%s\n' "$dump" | awk '/DLL Name:/{print $3}'); do
    if ! printf '%s\n' "$import" | grep -Eqi "$allowed"; then
        echo "FAIL: $dll imports $import, which a Windows machine may lack"
        status=1
    fi
done
[ $status -eq 0 ] && echo "ok: $dll ($format) exports $(echo $exports | wc -w) plain names and imports only system DLLs"
exit $status
