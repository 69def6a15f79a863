#!/usr/bin/env bash
# Measures encoder.exe and decoder.exe against the ffmpeg command line on the
# same libx264 and libavcodec, what x264's PSNR and SSIM cost, what the
# picture checksums and places cost each tool, the encoder's quality figures
# against ffmpeg's psnr and ssim filters, and the tools' peak memory: the
# encoder on a short and a long clip, the decoder on input that holds no
# picture, and both at the largest picture they accept. Prints figures; it passes or fails nothing.
#
# Usage: bench/codec_bench.sh [BUILD_DIR]      (default: build)
# ROUNDS=N sets the number of alternating rounds (default 3).
# REFERENCE_DECODER=PATH also times another decoder.exe (an older build, say)
# in the same alternating rounds.
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

# Runs a command quietly and prints its wall time in seconds; with clock=cpu
# the processor time it took, all threads together, which other work on a
# shared machine disturbs far less.
seconds_of() {
    local t0 t1
    t0=$(now)
    /usr/bin/time -f '%U %S' -o "$work/cpu.out" "$@" >/dev/null 2>"$work/last.err" ||
        { echo "failed: $*" >&2; cat "$work/last.err" >&2; exit 1; }
    t1=$(now)
    if [ "${clock:-wall}" = cpu ]; then
        awk '{ printf "%.3f", $1 + $2 }' "$work/cpu.out"
    else
        awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
    fi
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
encoder_without_checksums_once() { TUVR_ENCODER_PICTURE_HASH=0 seconds_of "$enc" "$work/unchecked.txt"; }
ffmpeg_encode() { # extra ffmpeg options...
    seconds_of ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt yuv420p -s 1280x720 -i "$work/clip720.yuv" \
        -c:v libx264 -preset medium -qp 22 "$@" -f h264 "$work/ffmpeg.h264"
}
ffmpeg_encode_once() { ffmpeg_encode; }
# x264 measures PSNR and SSIM only when it logs at info level, as ffmpeg's wrapper does.
ffmpeg_encode_quality_once() { ffmpeg_encode -flags +psnr -x264-params ssim=1; }
decoder_once() {
    rm -f "$work/dec"/*.yuv
    seconds_of "$dec" "$work/dec/stream.dat"
}
decoder_one_thread_once() {
    rm -f "$work/dec"/*.yuv
    TUVR_DECODER_THREADS=1 seconds_of "$dec" "$work/dec/stream.dat"
}
reference_decoder_once() {
    rm -f "$work/dec"/*.yuv
    seconds_of "$REFERENCE_DECODER" "$work/dec/stream.dat"
}
decode_file_once() { # stream
    rm -f "${1%.dat}.yuv"
    seconds_of "$dec" "$1"
}
decoder_long_once() { decode_file_once "$work/long.dat"; }
decoder_long_without_checksums_once() { decode_file_once "$work/unchecked/long.dat"; }
ffmpeg_decode_once() {
    seconds_of ffmpeg -nostdin -v error -y -i "$work/dec/stream.dat" -f rawvideo -pix_fmt yuv420p "$work/ffmpeg.yuv"
}
ffmpeg_decode_one_thread_once() {
    seconds_of ffmpeg -nostdin -v error -y -threads 1 -i "$work/dec/stream.dat" -f rawvideo -pix_fmt yuv420p \
        "$work/ffmpeg.yuv"
}

# Alternates the two commands, each round starting with the other one. The
# machine is shared, so the figure is the median of each round's ratio: the
# two runs of a round meet the same load.
compare() { # label frames ours theirs
    local label=$1 frames=$2 ours=$3 theirs=$4 a b
    local -a ours_fps=() theirs_fps=() ratios=()
    echo "$label"
    for ((r = 1; r <= rounds; r++)); do
        if ((r % 2)); then a=$($ours); b=$($theirs); else b=$($theirs); a=$($ours); fi
        ours_fps+=("$(fps "$frames" "$a")")
        theirs_fps+=("$(fps "$frames" "$b")")
        ratios+=("$(ratio "$b" "$a")")
        printf '  round %d: %s fps against %s fps, ratio %s\n' "$r" "${ours_fps[-1]}" "${theirs_fps[-1]}" "${ratios[-1]}"
    done
    printf '  median of %d: %s fps against %s fps, ratio %s\n' "$rounds" "$(median "${ours_fps[@]}")" \
        "$(median "${theirs_fps[@]}")" "$(median "${ratios[@]}")"
}

peak_kib() { # config
    /usr/bin/time -f %M -o "$work/time.out" "$enc" "$1" >/dev/null 2>&1
    tail -n 1 "$work/time.out"
}

# Decodes a file and prints "S s, P MiB peak: first line of the report".
decoder_peak() { # file
    /usr/bin/time -f '%e %M' -o "$work/time.out" "$dec" "$1" >"$work/dec.out" 2>/dev/null || true
    read -r secs kib < <(tail -n 1 "$work/time.out")
    printf '%s s, %d MiB peak: %s\n' "$secs" $((kib / 1024)) "$(head -n 1 "$work/dec.out")"
}

# ffmpeg's figures in the report's form: its psnr filter's summary (y, u, v
# and average, which Global also is) and its ssim filter's.
ffmpeg_quality() { # decoded input size
    local y u v avg ssim db figure='\([0-9.inf]*\)'
    ffmpeg -nostdin -v info -s "$3" -f rawvideo -pix_fmt yuv420p -i "$1" -s "$3" -f rawvideo -pix_fmt yuv420p -i "$2" \
        -lavfi "[0:v][1:v]psnr;[0:v][1:v]ssim" -f null - 2>"$work/quality.log"
    read -r y u v avg < <(sed -n "s/.*PSNR y:$figure u:$figure v:$figure average:$figure .*/\\1 \\2 \\3 \\4/p" \
        "$work/quality.log")
    read -r ssim db < <(sed -n "s/.*SSIM Y:\([0-9.]*\) ($figure).*/\\1 \\2/p" "$work/quality.log")
    printf 'PSNR Mean Y:%.3f U:%.3f V:%.3f Avg:%.3f Global:%.3f; SSIM Mean Y:%.7f (%.3fdb)\n' \
        "$y" "$u" "$v" "$avg" "$avg" "$ssim" "$db"
}

compare_quality() { # report decoded input size
    echo "Quality figures at $4: encoder.exe's report, then ffmpeg's psnr and ssim filters on the decoded stream"
    echo "  encoder.exe: $(grep '^PSNR' "$1"); $(grep '^SSIM' "$1")"
    echo "  ffmpeg:      $(ffmpeg_quality "$2" "$3" "$4")"
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
write_config "$work/unchecked.txt" "$work/clip720.yuv" 1280 720 120 "$work/unchecked.dat"
cat "$work/clip720.yuv" >/dev/null
"$enc" "$work/enc.txt" >"$work/report.txt" 2>&1

compare "Encode 1280x720 QP 22 medium, encoder.exe (PSNR and SSIM on) / ffmpeg (target >= 0.95)" 120 \
    encoder_once ffmpeg_encode_once
compare "Encode 1280x720 QP 22 medium, ffmpeg with PSNR and SSIM / ffmpeg without" 120 \
    ffmpeg_encode_quality_once ffmpeg_encode_once
clock=cpu compare \
    "Encode 1280x720, encoder.exe with picture checksums and places / without, processor time (target >= 0.98)" \
    120 encoder_once encoder_without_checksums_once
compare "Decode 1280x720, decoder.exe / ffmpeg (target >= 1)" 120 decoder_once ffmpeg_decode_once
compare "Decode 1280x720 on one thread, decoder.exe / ffmpeg" 120 decoder_one_thread_once ffmpeg_decode_one_thread_once
if [ -n "${REFERENCE_DECODER:-}" ]; then
    compare "Decode 1280x720, decoder.exe / $REFERENCE_DECODER" 120 decoder_once reference_decoder_once
fi
rm -f "$work/dec"/*.yuv
"$dec" "$work/dec/stream.dat" >/dev/null 2>&1
if cmp -s "$work/dec/stream.yuv" "$work/ffmpeg.yuv"; then
    echo "decoder.exe and ffmpeg decode to the same bytes"
else
    echo "decoder.exe and ffmpeg decode to DIFFERENT bytes"
fi
compare_quality "$work/report.txt" "$work/dec/stream.yuv" "$work/clip720.yuv" 1280x720
rm -f "$work"/*.yuv "$work"/dec/*.yuv "$work"/*.h264

echo "Making a 1920x1080 clip of 300 frames..."
make_clip "$work/clip1080.yuv" 1920x1080 300
write_config "$work/short.txt" "$work/clip1080.yuv" 1920 1080 60 "$work/short.dat"
write_config "$work/long.txt" "$work/clip1080.yuv" 1920 1080 300 "$work/long.dat"
short=$(peak_kib "$work/short.txt")
long=$(peak_kib "$work/long.txt")
growth=$(awk -v a="$short" -v b="$long" 'BEGIN { printf "%.1f", (b - a) * 100 / a }')
echo "Encoder peak memory 1920x1080: 60 frames $short KiB, 300 frames $long KiB, growth $growth% (target < 10%)"
echo "Decoder on the same streams (target: flat memory):"
echo "  60 frames: $(decoder_peak "$work/short.dat")"
echo "  300 frames: $(decoder_peak "$work/long.dat")"
mkdir -p "$work/unchecked"
ffmpeg -nostdin -v error -i "$work/long.dat" -c copy -bsf:v filter_units=remove_types=6 -f h264 \
    "$work/unchecked/long.dat"
clock=cpu compare \
    "Decode 1920x1080, decoder.exe with picture checksums and places / without, processor time (target >= 0.98)" \
    300 decoder_long_once decoder_long_without_checksums_once
rm -rf "$work"/*.dat "$work"/short*.yuv "$work"/long*.yuv "$work/unchecked"

echo "Decoder on input without pictures (target: a clear message, well under a second, flat memory):"
truncate -s 1G "$work/zeros.dat"
echo "  1 GiB of zeros: $(decoder_peak "$work/zeros.dat")"
head -c 300M "$work/clip1080.yuv" >"$work/raw.dat"
echo "  300 MiB of raw 1920x1080 video: $(decoder_peak "$work/raw.dat")"
rm -f "$work"/*.dat "$work"/*.yuv

echo "The largest picture both tools accept, 4096x2304, 10 frames:"
make_clip "$work/clip4k.yuv" 4096x2304 10
write_config "$work/big.txt" "$work/clip4k.yuv" 4096 2304 10 "$work/big.dat"
echo "  encoder.exe: $(peak_kib "$work/big.txt") KiB peak"
echo "  decoder.exe: $(decoder_peak "$work/big.dat")"
