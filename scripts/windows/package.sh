#!/usr/bin/env bash
# Builds Tuv-R's Windows installer, ${BUILD_DIR:-build-win}/tuv-r-VERSION-win64.exe,
# with CPack's NSIS generator and Debian's nsis, and prints its path. It
# installs per user or for all users; silently with /S, into a folder of the
# user's with /D=FOLDER (last on the command line). The build is brought up
# to date first, or built when there is none.
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/windows/common.sh
build_dir=${BUILD_DIR:-build-win}
scripts/deps.sh nsis
windows_build_tree "$build_dir"
rm -f "$build_dir"/tuv-r-*-win64.exe
(cd "$build_dir" && cpack -G NSIS >cpack.log) || { cat "$build_dir/cpack.log"; exit 1; }
realpath "$build_dir"/tuv-r-*-win64.exe
