#!/usr/bin/env bash
# Measures encoder.exe and decoder.exe against the ffmpeg command line on the
# same libx264 and libavcodec, and the encoder's peak memory on a short and a
# long clip. Prints figures; it passes or fails nothing.
#
# Usage: bench/codec_bench.sh [BUILD_DIR]      (default: build)
# ROUNDS=N sets the number of alternating rounds (default 3).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
[[ $build = /* ]] || build="$root/$build"
rounds=${ROUNDS:-3}

install_missing() {
    "$root/scripts/deps.sh" ffmpeg time
}

build_tools() {
    [ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j2 --target encoder decoder >/dev/null
    enc="$build/run/tools/encoder.exe"
    dec="$build/run/tools/decoder.exe"
    [ -x "$enc" ] && [ -x "$dec" ] || { echo "tools not found in $build/run/tools" >&2; exit 1; }
}

now() { date +%s.%N; }

# Runs a command quietly and prints its wall time in seconds.
seconds_of() {
    local t0 t1
    t0=$(now)
    "$@" >/dev/null 2>"$work/last.err" || { echo "failed: $*" >&2; cat "$work/last.err" >&2; exit 1; }
    t1=$(now)
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}

fps() { awk -v n="$1" -v s="$2" 'BEGIN { printf "%.1f", n / s }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

write_config() { # file in width height nframes dat
    printf 'file_in %s\nwidth %s\nheight %s\nnframes %s\nfile_dat %s\nquality_param 22\n' "$2" "$3" "$4" "$5" "$6" >"$1"
}

make_clip() { # file size frames
    ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=$2:rate=25" -frames:v "$3" -pix_fmt yuv420p \
        -f rawvideo "$1"
}

encoder_once() { seconds_of "$enc" "$work/enc.txt"; }
ffmpeg_encode_once() {
    seconds_of ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt yuv420p -s 1280x720 -i "$work/clip720.yuv" \
        -c:v libx264 -preset medium -qp 22 -f h264 "$work/ffmpeg.h264"
}
decoder_once() {
    rm -f "$work/dec"/*.yuv
    seconds_of "$dec" "$work/dec/stream.dat"
}
ffmpeg_decode_once() {
    seconds_of ffmpeg -nostdin -v error -y -i "$work/dec/stream.dat" -f rawvideo -pix_fmt yuv420p "$work/ffmpeg.yuv"
}

# Alternates the two commands, each round starting with the other one.
compare() { # label frames ours theirs
    local label=$1 frames=$2 ours=$3 theirs=$4 a b
    local -a ours_fps=() theirs_fps=()
    for ((r = 1; r <= rounds; r++)); do
        if ((r % 2)); then a=$($ours); b=$($theirs); else b=$($theirs); a=$($ours); fi
        ours_fps+=("$(fps "$frames" "$a")")
        theirs_fps+=("$(fps "$frames" "$b")")
        printf '  %s round %d: tool %s fps, ffmpeg %s fps\n' "$label" "$r" "${ours_fps[-1]}" "${theirs_fps[-1]}"
    done
    local m_ours m_theirs
    m_ours=$(median "${ours_fps[@]}")
    m_theirs=$(median "${theirs_fps[@]}")
    printf '%s: tool %s fps, ffmpeg %s fps (median of %d), ratio tool/ffmpeg %s (target >= 1)\n' \
        "$label" "$m_ours" "$m_theirs" "$rounds" "$(ratio "$m_ours" "$m_theirs")"
}

peak_kib() { # config
    /usr/bin/time -f %M -o "$work/time.out" "$enc" "$1" >/dev/null
    tail -n 1 "$work/time.out"
}

install_missing
build_tools
work=$(mktemp -d "${TMPDIR:-/tmp}/tuvr-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/dec"

echo "Machine: $(nproc) cores; $(ffmpeg -version | head -n 1)"
echo "Making a 1280x720 clip of 120 frames..."
make_clip "$work/clip720.yuv" 1280x720 120
write_config "$work/enc.txt" "$work/clip720.yuv" 1280 720 120 "$work/dec/stream.dat"
cat "$work/clip720.yuv" >/dev/null
"$enc" "$work/enc.txt" >/dev/null

compare "Encode 1280x720 QP 22, preset medium" 120 encoder_once ffmpeg_encode_once
compare "Decode 1280x720" 120 decoder_once ffmpeg_decode_once
rm -f "$work/dec"/*.yuv
"$dec" "$work/dec/stream.dat" >/dev/null
if cmp -s "$work/dec/stream.yuv" "$work/ffmpeg.yuv"; then
    echo "decoder.exe and ffmpeg decode to the same bytes"
else
    echo "decoder.exe and ffmpeg decode to DIFFERENT bytes"
fi
rm -f "$work"/*.yuv "$work"/dec/*.yuv "$work"/*.h264

echo "Making a 1920x1080 clip of 300 frames..."
make_clip "$work/clip1080.yuv" 1920x1080 300
write_config "$work/short.txt" "$work/clip1080.yuv" 1920 1080 60 "$work/short.dat"
write_config "$work/long.txt" "$work/clip1080.yuv" 1920 1080 300 "$work/long.dat"
short=$(peak_kib "$work/short.txt")
long=$(peak_kib "$work/long.txt")
growth=$(awk -v a="$short" -v b="$long" 'BEGIN { printf "%.1f", (b - a) * 100 / a }')
echo "Encoder peak memory 1920x1080: 60 frames $short KiB, 300 frames $long KiB, growth $growth% (target < 10%)"
