#!/usr/bin/env bash
# Installs a built Tuv-R into a temporary prefix and checks it as a user meets
# it: from another folder, in a Russian locale, with no codec tools on PATH and
# no display, the installed program answers --version and --help, the
# installed tools speak Russian, and
# tst_installed (run from the installed bin folder, beside tuv-r) finds the
# Russian catalogues, encodes and decodes with the installed stand-in tools,
# and keeps config.txt in the per-user data folder, which the program makes
# as it starts. The desktop file and the
# metainfo must pass their validators without a warning.
# Usage: scripts/install_check.sh [BUILD_DIR]   (default: $BUILD_DIR or build)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-${BUILD_DIR:-build}}

fail() { echo "install check: $*" >&2; exit 1; }

cache=$build_dir/CMakeCache.txt
[ -f "$cache" ] || fail "$build_dir is not a configured build folder: run scripts/build.sh first"
qt_major=$(sed -n 's/^TUVR_QT_MAJOR_CONFIGURED:INTERNAL=//p' "$cache")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$cache")
TUVR_QT_MAJOR=$qt_major scripts/deps.sh desktop-file-utils appstream locales
cmake --build "$build_dir" -j2 --target tuvr_installables tst_installed

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
cmake --install "$build_dir" --prefix "$prefix" >"$tmp/install.log" \
    || { cat "$tmp/install.log"; fail "cmake --install failed"; }

# Only the program goes into bin/, only the tools and the job supervisor into
# its private folder: no test, bench or helper is installed.
[ "$(ls "$prefix/bin")" = "tuv-r" ] || fail "bin/ holds: $(ls "$prefix/bin" | tr '\n' ' ')"
[ "$(ls "$prefix/libexec/tuv-r" | tr '\n' ' ')" = "decoder.exe encoder.exe tuvr-supervisor " ] \
    || fail "libexec/tuv-r/ holds: $(ls "$prefix/libexec/tuv-r" | tr '\n' ' ')"
# The tools' catalogues and nothing else under share/locale.
catalogues=$(cd "$prefix/share/locale" && find . -type f | sort | tr '\n' ' ')
[ "$catalogues" = "./ru/LC_MESSAGES/tuvr-tools.mo " ] || fail "share/locale/ holds: $catalogues"

# The menu's command and icon must be what is installed.
desktop=$(ls "$prefix"/share/applications/*.desktop)
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
[ -x "$prefix/bin/$exec_program" ] || fail "the menu runs '$exec_program', which is not in bin/"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 48 128 256; do
    [ -f "$prefix/share/icons/hicolor/${size}x$size/apps/$icon.png" ] || fail "no ${size}px icon '$icon'"
done

# desktop-file-validate exits 0 on errors too: any output is a failure.
validation=$(desktop-file-validate "$desktop" 2>&1) || true
[ -z "$validation" ] || fail "desktop-file-validate: $validation"
validation=$(appstreamcli validate-tree --no-net "$prefix" 2>&1) || true
echo "$validation"
! grep -Eq '^ *(E|W):' <<<"$validation" || fail "appstreamcli found errors or warnings"

# Russian locales of our own, so the machine needs none generated.
mkdir -p "$tmp/locale"
for locale in ru_RU ru_UA; do
    localedef -i $locale -f UTF-8 "$tmp/locale/$locale.UTF-8"
done
mkdir -p "$tmp/home" "$tmp/runtime"
chmod 700 "$tmp/runtime"
home_env=(env -i -C "$tmp/home" HOME="$tmp/home" PATH=/usr/bin:/bin TMPDIR="$tmp"
          LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 LOCPATH="$tmp/locale"
          XDG_CONFIG_HOME="$tmp/home/.config" XDG_DATA_HOME="$tmp/home/.local/share"
          XDG_CACHE_HOME="$tmp/home/.cache" XDG_RUNTIME_DIR="$tmp/runtime")
in_home() { "${home_env[@]}" "$@"; }

# No display and no platform chosen: these must not need a window system.
answer=$(in_home "$prefix/bin/tuv-r" --version) || fail "tuv-r --version failed"
# Its second line says how the installed supervisor holds a job here.
[ "$(head -n1 <<<"$answer")" = "tuv-r $version" ] || fail "tuv-r --version said '$answer'"
grep -q '^Задания удерживает ' <<<"$answer" || fail "tuv-r --version does not say how jobs are held: $answer"
answer=$(in_home "$prefix/bin/tuv-r" --help) || fail "tuv-r --help failed"
grep -q -- '--data-folder' <<<"$answer" || fail "tuv-r --help does not list --data-folder: $answer"
# Any Russian locale finds the program's catalogue, not only Russia's.
answer=$(in_home env LANG=ru_UA.UTF-8 LC_ALL=ru_UA.UTF-8 "$prefix/bin/tuv-r" --help) || fail "tuv-r --help failed"
grep -q 'Сжимает видео' <<<"$answer" || fail "tuv-r --help is not in Russian in ru_UA: $answer"
# The installed tools find their catalogue from their own folder in any
# Russian locale, here set by LANG alone (tst_installed below has LC_ALL).
for locale in ru_RU ru_UA; do
    status=0
    answer=$(in_home env -u LC_ALL LANG=$locale.UTF-8 "$prefix/libexec/tuv-r/decoder.exe" 2>&1 >/dev/null) || status=$?
    [ "$status" -eq 2 ] || fail "decoder.exe without a stream exited with $status, not 2"
    grep -q '^Ошибка: использование: ' <<<"$answer" || fail "decoder.exe is not in Russian in $locale: $answer"
done

# Started as the menu starts it, the program makes its data folder at
# start-up; it must still be running then.
data_folder=$tmp/home/.local/share/NORVAKE/tuv-r
"${home_env[@]}" QT_QPA_PLATFORM=offscreen "$prefix/bin/tuv-r" --data-folder &
program=$!
for _ in $(seq 300); do
    [ -d "$data_folder" ] || ! kill -0 $program 2>/dev/null && break
    sleep 0.1
done
[ -d "$data_folder" ] && kill -0 $program 2>/dev/null || fail "the installed tuv-r --data-folder did not start"
kill $program
wait $program || true

cp "$build_dir/tests/tst_installed" "$prefix/bin/"
in_home env QT_QPA_PLATFORM=offscreen "$prefix/bin/tst_installed" || fail "tst_installed failed"
[ ! -e "$tmp/home/config.txt" ] || fail "config.txt was left in the home folder"
echo "install check passed: $build_dir (Qt $qt_major)"
