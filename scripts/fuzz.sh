#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each on its generated seed
# corpus for a bounded time. Fails on the first crash, leaving the input in
# the build folder's fuzz/artifacts.
# Usage: scripts/fuzz.sh [seconds per target, default 60]
# Environment: ZM_FUZZ_DIR (default: build-fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
dir="${ZM_FUZZ_DIR:-build-fuzz}"

CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DZM_FUZZ=ON -DZM_BUILD_GUI=OFF -DZM_BUILD_TESTS=OFF -DZM_BUILD_BENCH=OFF
cmake --build "$dir" --parallel "$(nproc)"

mkdir -p "$dir/fuzz/artifacts"
# Leaks of the system's decoder libraries are known and reported there; ours
# are still caught.
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
for target in wavefile soundfile samplefile settingsfile spectrumplot; do
    work="$dir/fuzz/work/$target"
    mkdir -p "$work"
    dict=()
    if [ -f "fuzz/$target.dict" ]; then
        dict=("-dict=fuzz/$target.dict")
    fi
    echo "== $target: $seconds s"
    "$dir/fuzz/${target}_fuzz" "${dict[@]}" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$dir/fuzz/artifacts/$target-" "$work" "$dir/fuzz/corpus/$target"
done
