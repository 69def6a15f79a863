#!/usr/bin/env bash
# Flips one byte (XOR 0xFF) at offsets spread over a 30-frame 352x288 QP 22
# stream and decodes each damaged copy RUNS times as it is and RUNS times
# under taskset -c 0. Prints, for each offset, how many different answers
# (message and output bytes) each way gave and whether the kept frames equal
# the clean decode's first frames; then a summary. It passes or fails nothing.
#
# Usage: bench/decoder_damage.sh [BUILD_DIR]      (default: build)
# RUNS=N runs per way (default 20); OFFSETS="..." the offsets (default: 40
# spread evenly, and 36236).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build}
[[ $build = /* ]] || build="$root/$build"
runs=${RUNS:-20}

"$root/scripts/deps.sh" ffmpeg util-linux
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target encoder decoder >/dev/null
enc="$build/run/tools/encoder.exe"
dec="$build/run/tools/decoder.exe"
work=$(mktemp -d "${TMPDIR:-/tmp}/tuvr-damage.XXXXXX")
trap 'rm -rf "$work"' EXIT

ffmpeg -nostdin -v error -f lavfi -i "testsrc2=size=352x288:rate=25" -vf "noise=alls=12:allf=t" -frames:v 30 \
    -pix_fmt yuv420p -f rawvideo "$work/clip.yuv"
printf 'file_in %s\nwidth 352\nheight 288\nnframes 30\nfile_dat %s\nquality_param 22\n' "$work/clip.yuv" \
    "$work/stream.dat" >"$work/config.txt"
"$enc" "$work/config.txt" >/dev/null 2>&1
"$dec" "$work/stream.dat" >/dev/null 2>&1
size=$(stat -c %s "$work/stream.dat")
offsets=${OFFSETS:-"$(for ((i = 1; i <= 40; i++)); do echo $((size * i / 41)); done) 36236"}

# One decode: its message (timing left out) and a digest of what it wrote.
answer() { # command...
    rm -f "$work/bad.yuv"
    local out
    out=$("$@" "$work/bad.dat" 2>/dev/null | grep -E '^(Warning|Error)' || true)
    printf '%s %s\n' "$out" "$( ([ -f "$work/bad.yuv" ] && md5sum <"$work/bad.yuv" || echo none) | cut -c1-12)"
}

varied=0 split=0 differing=0 unseen=0 tested=0
for offset in $offsets; do
    ((offset < size)) || continue
    tested=$((tested + 1))
    cp "$work/stream.dat" "$work/bad.dat"
    byte=$(od -An -tu1 -j "$offset" -N1 "$work/bad.dat" | tr -d ' ')
    printf "\\x$(printf %02x $((byte ^ 255)))" | dd of="$work/bad.dat" bs=1 seek="$offset" conv=notrunc status=none
    all=$(for ((i = 0; i < runs; i++)); do answer "$dec"; done | sort | uniq -c)
    one=$(for ((i = 0; i < runs; i++)); do answer taskset -c 0 "$dec"; done | sort | uniq -c)
    n_all=$(wc -l <<<"$all")
    n_one=$(wc -l <<<"$one")
    rm -f "$work/bad.yuv"
    "$dec" "$work/bad.dat" >"$work/bad.out" 2>/dev/null || true
    kept=$(stat -c %s "$work/bad.yuv" 2>/dev/null || echo 0)
    same=yes
    cmp -s -n "$kept" "$work/bad.yuv" "$work/stream.yuv" || same=no
    [ "$kept" -gt 0 ] || same=n/a
    ((n_all > 1 || n_one > 1)) && varied=$((varied + 1))
    [ "$(sed 's/^ *[0-9]* //' <<<"$all")" = "$(sed 's/^ *[0-9]* //' <<<"$one")" ] || split=$((split + 1))
    [ "$same" = no ] && differing=$((differing + 1))
    if [ "$same" = no ] && ! grep -q Warning "$work/bad.out"; then unseen=$((unseen + 1)); fi
    printf 'offset %6d: %d answer(s) in %d runs, %d under taskset -c 0; kept frames equal the clean decode: %s; %s\n' \
        "$offset" "$n_all" "$runs" "$n_one" "$same" "$(grep -E '^(Warning|Error)' "$work/bad.out" | cut -c1-110 || true)"
done
echo "Offsets tried: $tested; with more than one answer: $varied; answers differing under taskset -c 0: $split"
echo "Kept frames differing from the clean decode: $differing, of which the damage went unseen (no warning): $unseen"
