#!/usr/bin/env bash
# Checks the Windows toolchain under Wine: cross-builds the small programs in
# scripts/windows/toolchain-check into ${BUILD_DIR:-build-wincheck}, runs the
# codec round trip and the Qt test with the offscreen platform (no X display),
# then the Qt test again and the form with the windows platform on Xvfb,
# keeping a screenshot of the form as BUILD_DIR/windows-platform.png.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/windows/common.sh
build=${BUILD_DIR:-build-wincheck}
toolchain=$(windows_toolchain)
source scripts/windows/wine-env.sh "$toolchain"

cmake -S scripts/windows/toolchain-check -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DTUVR_WIN_TOOLCHAIN="$toolchain" >/dev/null
cmake --build "$build" -j2

(unset DISPLAY; run_wine "$build/codecs.exe" && run_wine "$build/toolchaincheck.exe")

# Shows the form, screenshots the screen once it is up, then lets it go.
screenshot_form() {
    local line
    coproc form { run_wine "$build/showform.exe"; }
    read -r -t 60 line <&"${form[0]}"
    echo "$line"
    xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$build/windows-platform.png"
    exec {form[1]}>&-
    wait "$form_PID"
}

exec {display}< <(exec Xvfb -displayfd 1 -screen 0 640x480x24 -nolisten tcp 2>/dev/null)
xvfb=$!
# Wine's desktop process goes first, or it loses its display.
trap 'wineserver -w; kill "$xvfb"' EXIT
read -r -u "$display" screen
export DISPLAY=:$screen
# The Wine session that ran without a display must end before one uses it.
wineserver -w
WINEQT_QPA_PLATFORM=windows run_wine "$build/toolchaincheck.exe"
WINEQT_QPA_PLATFORM=windows screenshot_form
echo "Screenshot: $build/windows-platform.png"
