#!/usr/bin/env bash
# Runs every test: builds the genuine DLLs (./build.sh) and checks their export
# tables, then builds the plugin's sources natively against winsim and runs
# the test suite twice, plain and under AddressSanitizer with
# UndefinedBehaviorSanitizer, and the concurrency suite a third time under
# ThreadSanitizer; then, under Wine (64-bit, in a private prefix made
# for this run), the platform conformance suite and the genuine DLL end to end
# through the command-line host, and the settings dialog in a real window on a
# private X server (Xvfb); last, every fuzzer for a bounded time
# (fuzz/run.sh). Installs what it needs with apt-get. The 32-bit DLL runs
# under a 32-bit Wine in a private i386 Debian root (build/i386-root) where
# the kernel runs i386 code, and is checked statically where it runs none.
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

echo "== the concurrency suite under ThreadSanitizer"
# Every export on several threads at once; any access to shared state that
# no lock or atomic orders is reported and fails the run. Address-space
# randomisation is turned off for it: ThreadSanitizer cannot map its shadow
# memory under the high randomisation of some kernels.
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=Debug -DTHREAD_SANITIZER=ON >/dev/null
cmake --build build/tsan -j "$jobs" --target concurrency_tests
norandom=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
    norandom=(setarch "$(uname -m)" -R)
fi
TSAN_OPTIONS=halt_on_error=1:exitcode=66 "${norandom[@]}" build/tsan/concurrency_tests --gtest_brief=1 || status=1

echo "== under Wine: the platform conformance suite, the genuine DLL end to end, the settings dialog"
if ! command -v wine >/dev/null || ! dpkg -s wine64 >/dev/null 2>&1 || ! command -v Xvfb >/dev/null; then
    echo "== installing wine (64-bit) and Xvfb"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq wine wine64 xvfb >/dev/null
fi
# The Wine suites of one architecture: private prefixes for this run only,
# with no way out of their drive_c (a headless one, and one whose windows show
# on an Xvfb of its own), the MinGW build of the suites, ctest, and the
# prefixes checked again. One test at a time, and a test whose Wine process
# failed to start is given one more start: a launch under Wine now and then
# dies before the test's first line (seen once in CI as a 0.02 s failure with
# no output at all).
wine_suites() {  # BUILD_DIR TOOLCHAIN PREFIX DISPLAY_PREFIX [ctest arguments...]
    local build=$1 toolchain=$2 prefix=$3 display_prefix=$4
    shift 4
    tools/wine/wine.sh create "$prefix"
    tools/wine/wine.sh create "$display_prefix" display
    cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
        -DWINE_TESTS=ON -DWINE_PREFIX="$prefix" -DWINE_DISPLAY_PREFIX="$display_prefix" \
        -DPLUGIN_DLL_DIR="$PWD/build/dll" >/dev/null
    cmake --build "$build" -j "$jobs" --target wine_tests
    ctest --test-dir "$build" --output-on-failure -j 1 --repeat until-pass:2 "$@" || status=1
    tools/wine/wine.sh check "$prefix" || status=1
    tools/wine/wine.sh check "$display_prefix" || status=1
}
wine_suites build/wine64 cmake/mingw-x86_64.cmake "$PWD/build/wineprefix64" "$PWD/build/wineprefix-display"

echo "== the 32-bit DLL"
# Debian's i386 Wine cannot be installed beside this machine's packages, so a
# root of its own holds it (made once under build/, checked every run; the
# root-create step fails loudly when the root cannot be made). Its /proc and
# /dev are bound for the run and unbound on every way out. Machines of this
# kind differ: some kernels run no i386 code at all (IA-32 emulation off),
# and there neither the root nor any 32-bit Wine can run; the .wfx is then
# checked statically only (its export table, imports and machine type in the
# native suite above) and the i686 suites and host are built but not run.
root="$PWD/build/i386-root"
started32=$SECONDS
if ! why=$(tools/kernel_runs_i386.sh); then
    echo "== the kernel runs no 32-bit code: the 32-bit DLL is checked statically only ($why)"
    cmake -S . -B build/wine32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=Release \
        -DWINE_TESTS=ON -DWINE_PREFIX="$root/prefixes/wineprefix32" \
        -DWINE_DISPLAY_PREFIX="$root/prefixes/wineprefix32-display" -DPLUGIN_DLL_DIR="$PWD/build/dll" >/dev/null
    if cmake --build build/wine32 -j "$jobs" --target wine_tests; then
        echo "== the i686 Wine suites and host build; not run"
    else
        status=1
    fi
elif tools/wine/wine.sh root-create "$root"; then
    echo "== under a 32-bit Wine in a private i386 Debian root: the genuine .wfx end to end and the settings dialog"
    trap 'tools/wine/wine.sh root-unmount "$root"' EXIT
    tools/wine/wine.sh root-mount "$root"
    # The conformance suite asks Wine's Win32, which is the same Wine in 32
    # bits: it runs in the 64-bit prefix only.
    wine_suites build/wine32 cmake/mingw-i686.cmake "$root/prefixes/wineprefix32" \
        "$root/prefixes/wineprefix32-display" -E '^wine\.Conformance\.'
    tools/wine/wine.sh root-unmount "$root" || status=1
    trap - EXIT
else
    echo "== the i386 root could not be made: the 32-bit DLL was not run" >&2
    status=1
fi
echo "== the 32-bit section took $((SECONDS - started32)) s"

echo "== fuzzers, each for a bounded time (FUZZ_SECONDS, default 20)"
fuzz/run.sh "${FUZZ_SECONDS:-20}" || status=1

exit $status
