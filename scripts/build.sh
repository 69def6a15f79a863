#!/usr/bin/env bash
# Configures and builds into ${BUILD_DIR:-build}, with Qt 6 or, when
# TUVR_QT_MAJOR=5, with Qt 5: everything, or only the targets named.
# A build folder keeps the Qt it began with.
# Usage: scripts/build.sh [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${TUVR_QT_MAJOR:+-DTUVR_QT_MAJOR=$TUVR_QT_MAJOR}
targets=()
[ $# -eq 0 ] || targets=(--target "$@")
cmake --build "$build_dir" -j"$(nproc)" "${targets[@]}"
