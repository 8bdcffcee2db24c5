#!/usr/bin/env bash
# Runs every test: builds the genuine DLLs (./build.sh) and checks their export
# tables, then builds the plugin's sources natively against winsim and runs
# the test suite twice, plain and under AddressSanitizer with
# UndefinedBehaviorSanitizer. Installs what it needs with apt-get.
set -euo pipefail
cd "$(dirname "$0")"

./build.sh

need=()
for pkg in cmake make g++ libgtest-dev libgmock-dev python3; do
    dpkg -s "$pkg" >/dev/null 2>&1 || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
    echo "== installing ${need[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

jobs=$(nproc 2>/dev/null || echo 2)
status=0

echo "== native tests"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug -DPLUGIN_DLL_DIR="$PWD/build/dll" >/dev/null
cmake --build build/native -j "$jobs"
ctest --test-dir build/native --output-on-failure -j "$jobs" || status=1

echo "== native tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON >/dev/null
cmake --build build/sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/sanitize --output-on-failure -j "$jobs" || status=1

exit $status
