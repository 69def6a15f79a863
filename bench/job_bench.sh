#!/usr/bin/env bash
# Figures for the job runner: peak memory while a tool prints 1 GB, the time
# from a job's stop to nothing of it left (a tool that honours SIGTERM, one
# that ignores it, a wrapper whose encoder runs under setsid), the memory the
# per-frame figures of 100,000 frames hold, and a 1080p
# encode through the program against the same encode on the command line. Prints figures; passes or fails
# nothing.
#
# Usage: bench/job_bench.sh [BUILD_DIR]      (default: build)
# FRAMES=N sets the 1920x1080 clip's length (default 360, over 10 s of encoding here).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
[[ $build = /* ]] || build="$root/$build"
frames=${FRAMES:-360}

"$root/scripts/deps.sh" ffmpeg
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target jobbench encoder >/dev/null
bench="$build/bench/jobbench"
work=$(mktemp -d "${TMPDIR:-/tmp}/tuvr-jobbench.XXXXXX")
trap 'rm -rf "$work"' EXIT

export QT_QPA_PLATFORM=offscreen
export PATH="$build/run/tools:$PATH"
echo "Machine: $(nproc) cores"
"$bench" output
"$bench" cancel
"$bench" frames
echo "Making a 1920x1080 clip of $frames frames..."
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=1920x1080:rate=25" -frames:v "$frames" \
    -pix_fmt yuv420p -f rawvideo "$work/clip_1920x1080.yuv"
"$bench" encode "$work/clip_1920x1080.yuv" 1920 1080 "$frames"
