#!/usr/bin/env bash
# Builds Tuv-R's Debian package into ${BUILD_DIR:-build} (with Qt 6, or with
# Qt 5 when TUVR_QT_MAJOR=5), checks it with lintian and prints its path.
# Install it with:  apt-get install ./build/tuv-r_VERSION_ARCH.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
# dpkg-shlibdeps, which finds the libraries' packages, is in dpkg-dev.
scripts/deps.sh dpkg-dev lintian
scripts/build.sh
rm -f "$build_dir"/tuv-r_*.deb
(cd "$build_dir" && cpack -G DEB)
deb=$(realpath "$build_dir"/tuv-r_*.deb)
# Warnings are shown; only errors fail.
lintian --fail-on error "$deb"
echo "$deb"
