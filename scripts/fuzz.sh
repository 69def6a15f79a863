#!/usr/bin/env bash
# Fuzzes the encoder's config parser and the decoder with libFuzzer under ASan
# and UBSan, each for SECONDS (default 60), from the seeds in fuzz/corpus/.
# Inputs that add coverage stay in the build folder; an input that makes a
# harness fail is written to fuzz/corpus/HARNESS/ (crash-*, leak-*, timeout-*):
# commit it, and the replay test in CTest keeps trying it.
#
# Usage: scripts/fuzz.sh [SECONDS [config|decoder]...]
# FUZZ_BUILD_DIR sets the build folder (default build-fuzz).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
harnesses=("${@:2}")
[ ${#harnesses[@]} -gt 0 ] || harnesses=(config decoder)
build=${FUZZ_BUILD_DIR:-build-fuzz}

scripts/deps.sh clang libclang-rt-14-dev
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DTUVR_FUZZ=ON >/dev/null
cmake --build "$build" -j2 --target "${harnesses[@]/#/fuzz_}"

for harness in "${harnesses[@]}"; do
    found="$build/fuzz/found-$harness"
    mkdir -p "$found"
    echo "Fuzzing $harness for $seconds s"
    "$build/fuzz/fuzz_$harness" -max_total_time="$seconds" -timeout=10 -close_fd_mask=3 -print_final_stats=1 \
        -artifact_prefix="fuzz/corpus/$harness/" "$found" "fuzz/corpus/$harness"
done
