#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the run need, when missing:
# Qt 6's, or Qt 5's when TUVR_QT_MAJOR=5.
# Usage: scripts/deps.sh [extra-package...]
set -euo pipefail

case "${TUVR_QT_MAJOR:-6}" in
    6) qt=(qt6-base-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n) ;;
    5) qt=(qtbase5-dev qttools5-dev qttools5-dev-tools qttranslations5-l10n) ;;
    *) echo "TUVR_QT_MAJOR must be 6 or 5, not '$TUVR_QT_MAJOR'" >&2; exit 2 ;;
esac

packages=(
    cmake g++ make pkg-config
    "${qt[@]}"
    libx264-dev libavcodec-dev libavutil-dev libswscale-dev libxxhash-dev
    gettext # msgfmt, for the tools' catalogues
    locales # the Russian locale source the tools' tests build their locale from
    dbus-daemon # the private session bus of the desktop tests
    ffmpeg # the per-frame PSNR test measures the decoded stream with its psnr filter
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=900 update -qq
"${sudo[@]}" apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}"
