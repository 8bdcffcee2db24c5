#!/usr/bin/env bash
# Shows a newcomer the genuine plugin at work: the 64-bit DLL that build.sh
# just built, loaded by the command-line host under Wine in a private prefix
# under build/. It lists the plugin's root and a sample folder, enters a file
# and lists its streams (the unnamed data stream, a named stream and the
# hidden security descriptor), copies the named stream out, copies a file in
# as a new stream and lists again, and shows the file's columns.
#
# Wine has no backup API (BackupRead answers ERROR_NOT_SUPPORTED), so the host
# serves the DLL's BackupRead and BackupSeek from the files Wine holds
# (tools/host/backup_layer.h); Wine keeps a named stream "f.txt:name:$DATA" as
# a file of that name. Fails when any step fails.
set -euo pipefail
cd "$(dirname "$0")/../.."
command -v wine >/dev/null || { echo "demo.sh: Wine is not installed" >&2; exit 1; }
prefix="$PWD/build/demoprefix"
wine_sh=tools/wine/wine.sh
[ -d "$prefix/drive_c" ] || "$wine_sh" create "$prefix" >/dev/null
"$wine_sh" check "$prefix" >/dev/null
"$wine_sh" stage "$prefix" build/dll/NTFSTarnwick.wfx64 build/x86_64/tarnwick-host.exe
trap '"$wine_sh" stop "$prefix" >/dev/null 2>&1 || true' EXIT
sample="$prefix/drive_c/scratch/sample"
rm -rf "$sample"
mkdir -p "$sample/out"
printf 'Hello from the unnamed data stream.\r\n' > "$sample/hello.txt"
printf 'A note kept in a named stream.\r\n' > "$sample/hello.txt:note:\$DATA"
printf 'A file copied in as a stream.\r\n' > "$sample/todo.txt"
echo "== the genuine plugin in the command-line host under Wine"
output=$("$wine_sh" run "$prefix" 'C:\tarnwick\tarnwick-host.exe' --backup-from-files 'C:\tarnwick\NTFSTarnwick.wfx64' \
    rootname + list '\' + list '\C:\scratch\sample' + list '\C:\scratch\sample\hello.txt' \
    + get '\C:\scratch\sample\hello.txt\:note:$DATA' 'C:\scratch\sample\out\x' \
    + put 'C:\scratch\sample\todo.txt' '\C:\scratch\sample\hello.txt\todo.txt' \
    + list '\C:\scratch\sample\hello.txt' + columns '\C:\scratch\sample\hello.txt' 2>/dev/null) || {
    echo "$output"
    echo "demo.sh: the host failed" >&2
    exit 1
}
echo "$output"
echo "== copied out of the stream :note:\$DATA: $(cat "$sample/out/note")"
# What a newcomer should have seen: the file's streams, the copy out and in.
for expected in 'backup API: served from' '::$SECURITY_DESCRIPTOR' ' ::$DATA' ' :note:$DATA' ' :todo.txt:$DATA' \
    'FsGetFileW = 0 FS_FILE_OK' 'FsPutFileW = 0 FS_FILE_OK' 'column Streams Count: numeric_32 4'; do
    grep -qF -- "$expected" <<<"$output" || { echo "demo.sh: missing from the output: $expected" >&2; exit 1; }
done
