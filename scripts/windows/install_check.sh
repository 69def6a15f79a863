#!/usr/bin/env bash
# Checks the Windows installer under Wine, in a Wine prefix of its own, as a
# user meets it: a silent per-user install into a folder whose name has a
# space and Cyrillic letters, over an earlier version there, which goes
# first with every file of its own and leaves one uninstall entry and the
# user's settings; the Start-menu shortcut, which starts the installed
# program with its data folder and shows its icon; the installed program
# starts from another folder, and tst_installed, run from the installed
# folder with a Russian locale and no tools on PATH, finds the Russian
# catalogues and encodes and decodes with the installed tools; a silent
# uninstall leaves no program file, no shortcut and no key of its own, and
# keeps the user's settings and data folder. Then the same for all users,
# into Program Files, and an uninstall told to remove the settings too
# (/REMOVESETTINGS, as the user's yes does), which leaves nothing of Tuv-R.
# Usage: scripts/windows/install_check.sh   (the build in ${BUILD_DIR:-build-win})
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/windows/common.sh
build_dir=${BUILD_DIR:-build-win}

fail() { echo "install check: $*" >&2; exit 1; }

installer=$(scripts/windows/package.sh | tail -n1)
toolchain=$(windows_toolchain "$build_dir")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
scripts/deps.sh locales

tmp=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$tmp"' EXIT
export TUVR_WINEPREFIX=$tmp/prefix
source scripts/windows/wine-env.sh "$toolchain"

# An earlier version's installer: an older number, and one file more, as a
# DLL renamed since would be, which this version's install must not leave.
earlier_file=Qt6Earlier.dll
mkdir -p "$tmp/earlier/files"
echo "only the earlier version has this" >"$tmp/earlier/files/$earlier_file"
(cd "$build_dir" && cpack -G NSIS -B "$tmp/earlier" -D CPACK_PACKAGE_VERSION=1.0.0 \
    -D CPACK_PACKAGE_FILE_NAME=tuv-r-earlier -D "CPACK_INSTALLED_DIRECTORIES=$tmp/earlier/files;.") \
    >"$tmp/earlier/cpack.log" || { cat "$tmp/earlier/cpack.log"; fail "no earlier installer"; }
earlier=$tmp/earlier/tuv-r-earlier.exe

users=$WINEPREFIX/drive_c/users/$(id -un)
folder='C:\users\Public\Мои программы\Tuv-R'
installed=$WINEPREFIX/drive_c/users/Public/'Мои программы'/Tuv-R
menu=$users/AppData/Roaming/Microsoft/Windows/'Start Menu'/Programs/Tuv-R
data_folder=$users/AppData/Local/NORVAKE/tuv-r
settings='HKCU\Software\NORVAKE\TuvR'

# Through cmd, which hands on the command line as typed: Wine would quote
# the /D= argument for its space, and NSIS takes /D= only unquoted.
install_for_user() {
    wine cmd /c "$(windows_path "$1") /S /CurrentUser /D=$folder"
    wineserver -w
}

has_key() { wine reg query "$@" >/dev/null 2>&1; }

# The version an uninstall entry names; empty without one.
entry_version() {
    wine reg query "$1\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tuv-R" /v DisplayVersion 2>/dev/null |
        tr -d '\r' | sed -n 's/.*DisplayVersion *REG_SZ *//p'
}

# What the earlier version's install left, in root's registry and folder to.
check_earlier_installed() {
    local root=$1 to=$2
    [ -f "$to/$earlier_file" ] || fail "the earlier version did not install $earlier_file into $to"
    [ "$(entry_version "$root")" = 1.0.0 ] || fail "the earlier version has no uninstall entry in $root"
}
# This version went over it: the earlier one removed itself first, every
# file of its own with it; the one uninstall entry is this version's; the
# user's settings and data folder stay.
check_upgrade_done() {
    local root=$1 to=$2
    [ ! -e "$to/$earlier_file" ] || fail "the install over the earlier version left its $earlier_file"
    [ "$(entry_version "$root")" = "$version" ] || fail "after the upgrade $root's uninstall entry names '$(entry_version "$root")'"
    has_key "$settings" /v lastFolder || fail "the upgrade removed the user's settings"
    [ -f "$data_folder/config.txt" ] || fail "the upgrade removed the user's data folder"
}

install_for_user "$earlier"
check_earlier_installed HKCU "$installed"
wine reg add "$settings" /v lastFolder /d 'C:\clips' /f >/dev/null
mkdir -p "$data_folder"
echo "file_in C:\clips\clip.yuv" >"$data_folder/config.txt"
install_for_user "$installer"
check_upgrade_done HKCU "$installed"
for file in tuv-r.exe encoder.exe decoder.exe Qt6Core.dll platforms/qwindows.dll \
            translations/Tuv_R_ru.qm translations/qtbase_ru.qm qt.conf LICENSE.txt Uninstall.exe; do
    [ -f "$installed/$file" ] || fail "the install has no $file"
done
# A shortcut holds its target, arguments and icon as UTF-16 strings.
[ -f "$menu/Tuv-R.lnk" ] || fail "no Start-menu shortcut in $menu"
shortcut=$(strings -el "$menu/Tuv-R.lnk")
grep -qF -- '--data-folder' <<<"$shortcut" || fail "the shortcut does not start tuv-r.exe --data-folder: $shortcut"
grep -qF 'Tuv-R\tuv-r.exe' <<<"$shortcut" || fail "the shortcut has not tuv-r.exe for target and icon: $shortcut"

# Started as the shortcut starts it, from another folder, the program makes
# its data folder once its window is up; it must still be running then.
rm -r "$data_folder"
(cd "$tmp" && exec wine "$(windows_path "$installed/tuv-r.exe")" --data-folder) &
program=$!
for _ in $(seq 300); do
    [ -d "$data_folder" ] || ! kill -0 $program 2>/dev/null && break
    sleep 0.1
done
[ -d "$data_folder" ] && kill -0 $program 2>/dev/null || fail "the installed tuv-r.exe did not start"
wineserver -k
wait $program || true

mkdir -p "$tmp/locale"
localedef -i ru_RU -f UTF-8 "$tmp/locale/ru_RU.UTF-8"
cp "$build_dir/tests/tst_installed.exe" "$installed/"
(cd "$tmp" && LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 LOCPATH="$tmp/locale" \
    wine "$(windows_path "$installed/tst_installed.exe")") || fail "tst_installed failed"
rm "$installed/tst_installed.exe"

# The installed tools under a Russian Wine, with no language variable in
# Windows' own environment: they take the user interface's language and
# find their catalogue beside them. An error comes once, on standard error;
# --help answers on standard output with success.
# A batch file beside them clears those variables (Wine hands the Unix ones on).
printf '@set LANG=\r\n@set LC_ALL=\r\n@set LOCPATH=\r\n@"%%~dp0%%1" %%2\r\n' >"$installed/bare-locale.bat"
in_russian_wine() {
    (cd "$tmp" && LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 LOCPATH="$tmp/locale" \
        wine cmd /c "$(windows_path "$installed/bare-locale.bat")" "$@")
}
status=0
in_russian_wine decoder.exe 'Z:\absent.dat' >"$tmp/out" 2>"$tmp/err" || status=$?
[ "$status" -eq 1 ] || fail "decoder.exe on a missing stream exited with $status, not 1"
[ ! -s "$tmp/out" ] || fail "decoder.exe said its error on standard output too: $(cat "$tmp/out")"
[ "$(grep -c 'Ошибка: не удаётся открыть файл потока «Z:\\absent.dat»' "$tmp/err")" -eq 1 ] ||
    fail "decoder.exe did not refuse the missing stream once, in Russian: $(cat "$tmp/err")"
in_russian_wine decoder.exe --help >"$tmp/out" 2>"$tmp/err" || fail "decoder.exe --help failed"
grep -q '^использование: decoder.exe ' "$tmp/out" || fail "decoder.exe --help said: $(cat "$tmp/out" "$tmp/err")"
rm "$installed/bare-locale.bat"

# A silent uninstall keeps the user's settings and data folder, as a no does.
wine "$(windows_path "$installed/Uninstall.exe")" /S
wineserver -w
left=$(find "$installed" "$menu" 2>/dev/null || true)
[ -z "$left" ] || fail "the uninstall left: $left"
! has_key 'HKCU\Software\NORVAKE\Tuv-R' || fail "the uninstall left its own key HKCU\Software\NORVAKE\Tuv-R"
has_key "$settings" /v lastFolder || fail "the uninstall removed the user's settings"
[ -f "$data_folder/config.txt" ] || fail "the uninstall removed the user's data folder"

# For all users (Wine's user may): into Program Files over an earlier
# version there, the shortcut in the common Start menu, and all of it gone
# again, with the user's settings and data folder, and no empty key or
# folder of the vendor's left.
wine "$(windows_path "$earlier")" /S /AllUsers
wineserver -w
machine_installed=$WINEPREFIX/drive_c/'Program Files'/Tuv-R
machine_menu=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/'Start Menu'/Programs/Tuv-R
check_earlier_installed HKLM "$machine_installed"
wine "$(windows_path "$installer")" /S /AllUsers
wineserver -w
check_upgrade_done HKLM "$machine_installed"
[ -f "$machine_installed/tuv-r.exe" ] || fail "an install for all users is not in Program Files"
[ -f "$machine_menu/Tuv-R.lnk" ] || fail "an install for all users has no shortcut in $machine_menu"
wine "$(windows_path "$machine_installed/Uninstall.exe")" /S /REMOVESETTINGS
wineserver -w
left=$(find "$machine_installed" "$machine_menu" "$users/AppData/Local/NORVAKE" 2>/dev/null || true)
[ -z "$left" ] || fail "the uninstall for all users, told to remove the settings, left: $left"
for key in 'HKCU\Software\NORVAKE' 'HKLM\Software\NORVAKE'; do
    ! has_key "$key" || fail "the uninstall told to remove the settings left $key"
done
echo "install check passed: $installer"
