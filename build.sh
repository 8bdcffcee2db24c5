#!/usr/bin/env bash
# Builds the genuine plugin (NTFSTarnwick.wfx for 32-bit hosts, .wfx64 for
# 64-bit hosts) with Debian's MinGW-w64 cross compilers and packs the host's
# install archive into dist/. Installs the toolchain when it is missing.
set -euo pipefail
cd "$(dirname "$0")"

need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64)
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686)
command -v x86_64-w64-mingw32-windres >/dev/null || need+=(binutils-mingw-w64-x86-64)
command -v i686-w64-mingw32-windres >/dev/null || need+=(binutils-mingw-w64-i686)
command -v cmake >/dev/null || need+=(cmake)
command -v zip >/dev/null || need+=(zip)
command -v make >/dev/null || need+=(make)
# The demonstration at the end runs the genuine DLL under 64-bit Wine.
if ! command -v wine >/dev/null || ! dpkg -s wine64 >/dev/null 2>&1; then
    need+=(wine wine64)
fi
if [ ${#need[@]} -gt 0 ]; then
    echo "== installing ${need[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" mingw-w64-tools >/dev/null
fi

jobs=$(nproc 2>/dev/null || echo 2)
for arch in x86_64 i686; do
    echo "== building the $arch plugin"
    cmake -S . -B "build/$arch" -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "build/$arch" -j "$jobs"
done

# The shipped DLLs carry no debug sections (about half of each DLL is the
# statically linked runtime's DWARF); the unstripped ones stay in
# build/dll-debug for reading a crash address (addr2line -e).
# The same sources give the same bytes: the stripped DLLs' header time (strip
# would write the current one) and every archive member carry the last
# commit's time (a fixed one outside a git checkout).
epoch=$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)
mkdir -p build/dll build/dll-debug dist
for pair in x86_64:NTFSTarnwick.wfx64 i686:NTFSTarnwick.wfx; do
    arch=${pair%%:*} dll=${pair#*:}
    cp "build/$arch/$dll" "build/dll-debug/$dll"
    SOURCE_DATE_EPOCH=$epoch "$arch-w64-mingw32-strip" --strip-all -o "build/dll/$dll" "build/$arch/$dll"
done
# The archive: its members in a fixed order, without extra fields; zip
# stores local times, so the zone is UTC.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp build/dll/NTFSTarnwick.wfx build/dll/NTFSTarnwick.wfx64 "$stage/"
cp resources/pluginst.inf "$stage/pluginst.inf"
cp resources/lang/*.lng "$stage/"
members=(pluginst.inf NTFSTarnwick.wfx NTFSTarnwick.wfx64)
while IFS= read -r lng; do members+=("$lng"); done < <(cd "$stage" && LC_ALL=C ls -1 -- *.lng)
chmod 0644 "$stage"/*
touch -d "@$epoch" "$stage"/*
rm -f dist/NTFSTarnwick.zip
(cd "$stage" && TZ=UTC zip -q -X -D ../"$(basename "$stage")".zip "${members[@]}")
mv "$stage/../$(basename "$stage").zip" dist/NTFSTarnwick.zip
echo "== dist/NTFSTarnwick.zip:"
TZ=UTC unzip -l dist/NTFSTarnwick.zip
ls -l build/dll/NTFSTarnwick.wfx build/dll/NTFSTarnwick.wfx64 | awk '{print "== shipped: " $NF ", " $5 " bytes"}'

# The genuine plugin at work under Wine: a file's streams listed, copied out and in.
tools/wine/demo.sh
