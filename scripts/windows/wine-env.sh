# Sourced by the Windows scripts: runs Windows programs under Wine, in a Wine
# prefix of the worktree's own, with the toolchain's and the compiler's DLLs
# on the Windows PATH.
#   source scripts/windows/wine-env.sh TOOLCHAIN
#   run_wine program.exe [argument...]
# TUVR_WINEPREFIX moves the prefix (default build-wine/prefix). Wine passes no
# QT_* variable on to Windows programs but hands WINEQT_* on without the WINE:
# set WINEQT_QPA_PLATFORM=windows (default offscreen) for real windows, which
# need an X display.

if [ ! -f "${1:-}/bin/Qt6Core.dll" ]; then
    echo "wine-env.sh: give the folder scripts/windows/toolchain.sh prints, not '${1:-}'" >&2
    return 2
fi
tuvr_repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export WINEPREFIX=${TUVR_WINEPREFIX:-$tuvr_repo/build-wine/prefix}
export WINEDEBUG=-all
export WINEQT_QPA_PLATFORM=${WINEQT_QPA_PLATFORM:-offscreen}
# Else Qt's messages, QtTest's results among them, go to the debugger channel.
export WINEQT_FORCE_STDERR_LOGGING=1

# A Linux path as Windows programs see it, through the drive Wine maps to /.
windows_path() {
    local path
    path=$(realpath -m "$1")
    printf 'Z:%s' "${path//\//\\}"
}

# Qt's offscreen platform on Windows reads its fonts from one folder and takes
# its first family for any it lacks: DejaVu Sans alone there, the Linux tests'
# font, so that layouts measure alike on both.
offscreen_fonts=$WINEPREFIX/offscreen-fonts
WINEQT_QPA_FONTDIR=$(windows_path "$offscreen_fonts")
export WINEQT_QPA_FONTDIR

mingw_dll_dir() { dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name="$1")"; }

# Qt's DLLs, then libstdc++, libgcc and libwinpthread, which Qt links.
WINEPATH="$(windows_path "$1/bin");$(windows_path "$(mingw_dll_dir libstdc++-6.dll)")"
WINEPATH+=";$(windows_path "$(mingw_dll_dir libwinpthread-1.dll)")"
export WINEPATH

# Windows programs here keep their temporary files where a user's would be
# whose name has a space and Cyrillic letters, so the tests, whose files are
# all temporary, meet such paths, and on a drive of its own, apart from the
# build tree's Z:.
tuvr_temp_folder='Temp/Временные файлы'

# What the prefix holds beyond Wine's defaults, as a registry file (UTF-16, so
# the Cyrillic letters reach the registry whatever this shell's locale).
# A crashing program ends as on Windows without a debugger: Wine's own would
# print its report into the program's output, which Tuv-R shows.
write_prefix_settings() {
    local temp="C:\\\\${tuvr_temp_folder//\//\\\\}"
    printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
        '[HKEY_CURRENT_USER\Environment]' "\"TEMP\"=\"$temp\"" "\"TMP\"=\"$temp\"" '' \
        '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\AeDebug]' \
        '"Debugger"="no-crash-debugger"' |
        { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$WINEPREFIX/tuvr-settings.reg"
    wine regedit /S "$(windows_path "$WINEPREFIX/tuvr-settings.reg")"
    mkdir -p "$WINEPREFIX/drive_c/$tuvr_temp_folder"
}

# Made once; the mark, which names this set-up, comes last, so an interrupted
# or older set-up is done again.
tuvr_prefix_setup=2
if [ "$(cat "$WINEPREFIX/.tuvr-ready" 2>/dev/null)" != "$tuvr_prefix_setup" ]; then
    mkdir -p "$WINEPREFIX"
    # Without Mono and Gecko, which it would offer to download.
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i
    # This Wine does not look in Debian's folder for its own fonts, Tahoma, the
    # dialog font, among them: without them Qt's windows platform draws serifs.
    ln -sf /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    mkdir -p "$offscreen_fonts"
    ln -sf /usr/share/fonts/truetype/dejavu/DejaVuSans{,-Bold,Mono,Mono-Bold}.ttf "$offscreen_fonts/"
    write_prefix_settings
    wineserver -w
    echo "$tuvr_prefix_setup" >"$WINEPREFIX/.tuvr-ready"
fi

run_wine() { wine "$@"; }
