#!/usr/bin/env bash
# Cross-builds Tuv-R for 64-bit Windows into ${BUILD_DIR:-build-win}: first
# the Windows libraries (scripts/windows/toolchain.sh, taken from its cache
# when built), then the program, its tools and tests; the other Windows
# scripts take the tree as this builds it. Its run/ is the
# program's working folder, as build/run/ is on Linux: tuv-r.exe, encoder.exe
# and decoder.exe side by side, the DLLs and plugins they need, and the
# catalogues.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/windows/common.sh
build_dir=${BUILD_DIR:-build-win}
# It installs the cross compilers, Wine and what the Linux build needs too:
# the Qt tools that run here, Qt's catalogues, xxhash.h.
toolchain=$(windows_toolchain)
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DTUVR_WIN_TOOLCHAIN="$toolchain"
cmake --build "$build_dir" -j"$(nproc)"
