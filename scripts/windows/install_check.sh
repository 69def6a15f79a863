#!/usr/bin/env bash
# Checks the Windows installer under Wine, in a Wine prefix of its own, as a
# user meets it: a silent per-user install into a folder whose name has a
# space and Cyrillic letters; the Start-menu shortcut, which starts the
# installed program with its data folder and shows its icon; the installed
# program starts from another folder, and tst_installed, run from
# the installed folder with a Russian locale and no tools on PATH, finds the
# Russian catalogues and encodes and decodes with the installed tools; a
# silent uninstall leaves no program file and no shortcut, and keeps the
# user's settings; the same install for all users goes into Program Files and
# goes again.
# Usage: scripts/windows/install_check.sh   (the build in ${BUILD_DIR:-build-win})
set -euo pipefail
cd "$(dirname "$0")/../.."
build_dir=${BUILD_DIR:-build-win}

fail() { echo "install check: $*" >&2; exit 1; }

installer=$(scripts/windows/package.sh | tail -n1)
toolchain=$(scripts/windows/toolchain.sh | tail -n1)
cmake --build "$build_dir" --target tst_installed >/dev/null
scripts/deps.sh locales

tmp=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$tmp"' EXIT
export TUVR_WINEPREFIX=$tmp/prefix
source scripts/windows/wine-env.sh "$toolchain"

users=$WINEPREFIX/drive_c/users/$(id -un)
folder='C:\users\Public\Мои программы\Tuv-R'
installed=$WINEPREFIX/drive_c/users/Public/'Мои программы'/Tuv-R
menu=$users/AppData/Roaming/Microsoft/Windows/'Start Menu'/Programs/Tuv-R

# Through cmd, which hands on the command line as typed: Wine would quote
# the /D= argument for its space, and NSIS takes /D= only unquoted.
wine cmd /c "$(windows_path "$installer") /S /CurrentUser /D=$folder"
wineserver -w
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
data_folder=$users/AppData/Local/NORVAKE/tuv-r
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

# The settings the program keeps for the user, which the uninstall must keep.
wine reg add 'HKCU\Software\NORVAKE\TuvR' /v lastFolder /d 'C:\clips' /f >/dev/null
wine "$(windows_path "$installed/Uninstall.exe")" /S
wineserver -w
left=$(find "$installed" "$menu" 2>/dev/null || true)
[ -z "$left" ] || fail "the uninstall left: $left"
wine reg query 'HKCU\Software\NORVAKE\TuvR' /v lastFolder >/dev/null 2>&1 \
    || fail "the uninstall removed the user's settings"
# For all users (Wine's user may): into Program Files, the shortcut in the
# common Start menu, and all of it gone again.
wine "$(windows_path "$installer")" /S /AllUsers
wineserver -w
machine_installed=$WINEPREFIX/drive_c/'Program Files'/Tuv-R
machine_menu=$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/'Start Menu'/Programs/Tuv-R
[ -f "$machine_installed/tuv-r.exe" ] || fail "an install for all users is not in Program Files"
[ -f "$machine_menu/Tuv-R.lnk" ] || fail "an install for all users has no shortcut in $machine_menu"
wine "$(windows_path "$machine_installed/Uninstall.exe")" /S
wineserver -w
left=$(find "$machine_installed" "$machine_menu" 2>/dev/null || true)
[ -z "$left" ] || fail "the uninstall for all users left: $left"
echo "install check passed: $installer"
