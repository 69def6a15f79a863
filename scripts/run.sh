#!/usr/bin/env bash
# Builds Tuv-R and launches it from its run folder, which holds the catalogues,
# with the stand-in codec tools first on PATH. Without a display it runs under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
xvfb=()
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running under Xvfb."
    scripts/deps.sh xvfb xauth
    xvfb=(xvfb-run -a)
else
    scripts/deps.sh
fi
scripts/build.sh
cd "${BUILD_DIR:-build}/run"
PATH="$PWD/tools:$PATH" exec "${xvfb[@]}" ./tuv-r "$@"
