#!/usr/bin/env bash
# Builds the fuzzers (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, against winsim) and runs each for a bounded
# time: fuzz/run.sh [seconds per fuzzer, default 20] [fuzzer names...]
# Each starts from its committed seeds in fuzz/corpus/<name>/ and keeps what
# it finds in build/fuzz/corpus/<name>/; a failing input is saved under
# build/fuzz/artifacts/. Prints every fuzzer's execution count.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
shift || true

need=()
command -v clang++ >/dev/null || need+=(clang)
# libFuzzer's runtime (-fsanitize=fuzzer) comes with compiler-rt.
if ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
    need+=(libclang-rt-dev)
fi
if [ ${#need[@]} -gt 0 ]; then
    echo "== installing ${need[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/fuzz -DFUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/fuzz -j "$jobs"

if [ $# -gt 0 ]; then
    names=("$@")
else
    names=()
    for source in fuzz/*_fuzzer.cpp; do
        names+=("$(basename "$source" .cpp)")
    done
fi

mkdir -p build/fuzz/artifacts
status=0
summary=""
for name in "${names[@]}"; do
    work=build/fuzz/corpus/$name
    mkdir -p "$work" "fuzz/corpus/$name"
    options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
             -artifact_prefix=build/fuzz/artifacts/"$name"- )
    # Memory is checked by winsim's handle and heap accounting at the end of
    # every input; LeakSanitizer's scan after each input would cost most of
    # the time.
    options+=(-detect_leaks=0)
    [ -f "fuzz/$name.dict" ] && options+=(-dict="fuzz/$name.dict")
    [ -f "fuzz/$name.options" ] && read -r -a extra < "fuzz/$name.options" && options+=("${extra[@]}")
    echo "== fuzzing $name for ${seconds}s"
    log=build/fuzz/$name.log
    if "build/fuzz/$name" "${options[@]}" "$work" "fuzz/corpus/$name" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
        summary+=$(printf '%-28s %12s runs in %ss' "$name" "${runs:-?}" "$seconds")$'\n'
    else
        status=1
        tail -40 "$log"
        summary+=$(printf '%-28s FAILED (see %s)' "$name" "$log")$'\n'
    fi
done
echo "== fuzzers"
printf '%s' "$summary"
exit $status
