#!/usr/bin/env bash
# Runs one Windows program under Wine, set up as scripts/windows/wine-env.sh
# sets it up:  scripts/windows/wine-run.sh TOOLCHAIN program.exe [argument...]
# A Windows build's CTest runs every test through it: the toolchain file makes
# it the build's CMAKE_CROSSCOMPILING_EMULATOR.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh" "$1"
shift
run_wine "$@"
