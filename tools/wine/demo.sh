#!/usr/bin/env bash
# Shows a newcomer the genuine plugin at work: the 64-bit DLL that build.sh
# just built, loaded by the command-line host under Wine (when Wine is
# installed; ./test.sh installs it). It lists the plugin's root and a sample
# folder it makes, copies a file out through "::$DATA" and copies one in as a
# named stream. Everything happens in a private prefix under build/.
set -euo pipefail
cd "$(dirname "$0")/../.."
if ! command -v wine >/dev/null; then
    echo "== (Wine is not installed: ./test.sh installs it, then ./build.sh shows the plugin at work)"
    exit 0
fi
prefix="$PWD/build/demoprefix"
wine_sh=tools/wine/wine.sh
[ -d "$prefix/drive_c" ] || "$wine_sh" create "$prefix" >/dev/null
"$wine_sh" check "$prefix" >/dev/null
"$wine_sh" stage "$prefix" build/dll/NTFSTarnwick.wfx64 build/x86_64/tarnwick-host.exe
sample="$prefix/drive_c/scratch/sample"
rm -rf "$sample"
mkdir -p "$sample/folder"
printf 'Hello from the unnamed data stream.\r\n' > "$sample/hello.txt"
printf 'A note to copy in.\r\n' > "$sample/note.txt"
echo "== the genuine plugin in the command-line host under Wine"
"$wine_sh" run "$prefix" 'C:\tarnwick\tarnwick-host.exe' 'C:\tarnwick\NTFSTarnwick.wfx64' \
    rootname + list '\' + list '\C:\scratch\sample' \
    + get '\C:\scratch\sample\hello.txt\::$DATA' 'C:\scratch\sample\folder\copy' \
    + put 'C:\scratch\sample\note.txt' '\C:\scratch\sample\hello.txt\note.txt' 2>/dev/null || true
echo "== copied out: $(cat "$sample/folder/hello.txt" 2>/dev/null || echo '(nothing)')"
"$wine_sh" stop "$prefix"
