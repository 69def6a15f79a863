#!/usr/bin/env bash
# Builds the codec tools and the fuzzing corpus replay with ASan and UBSan
# and runs the tools' tests and the replay against them; any finding, a leak
# included, fails the run. libx264 and libavcodec themselves are not
# instrumented.
#
# Usage: scripts/sanitize.sh   (SANITIZE_BUILD_DIR sets the folder, default build-sanitize)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${SANITIZE_BUILD_DIR:-build-sanitize}

scripts/deps.sh
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTUVR_SANITIZE=ON >/dev/null
cmake --build "$build" -j2 --target encoder decoder tst_codectools fuzz_config_replay fuzz_decoder_replay

# The tests preload a shim into the tools, ahead of the ASan runtime.
export ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0
export UBSAN_OPTIONS=print_stacktrace=1
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -R '^(tst_codectools|fuzz_config_replay|fuzz_decoder_replay)$'
