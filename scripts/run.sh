#!/usr/bin/env bash
# Builds what Tuv-R needs to run (the program, the stand-in codec tools, the
# job supervisor and the catalogues; scripts/test.sh builds the tests) and
# launches it from its run folder, which holds the catalogues, with the
# stand-in tools first on PATH. Without a display it runs under Xvfb, on a
# display of its own where its window cannot be seen, and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$(realpath -m "${BUILD_DIR:-build}")
xvfb=()
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    scripts/deps.sh xvfb xauth
    # Told once Xvfb is up, when its display is known. The display's key is
    # kept in the build folder: Ctrl+C ends xvfb-run before it can tidy up.
    announce='echo "No display found: Tuv-R runs under Xvfb on display $DISPLAY, where no one sees its window; Ctrl+C here ends it." >&2; exec "$@"'
    xvfb=(xvfb-run -a -f "$build_dir/xvfb-run.auth" bash -c "$announce" bash)
else
    scripts/deps.sh
fi
scripts/build.sh tuvr_program
cd "$build_dir/run"
PATH="$PWD/tools:$PATH" exec "${xvfb[@]}" ./tuv-r "$@"
