# Sourced by the Windows scripts, from the repository's top folder: where
# the Windows libraries are, and a build tree brought up to date.
#   source scripts/windows/common.sh
#   toolchain=$(windows_toolchain [BUILD_DIR])
#   windows_build_tree BUILD_DIR

# The folder of the Windows libraries: the one BUILD_DIR was configured
# with while it is there, else the one scripts/windows/toolchain.sh prints
# last, which it builds first when its cache has none.
windows_toolchain() {
    local cache=${1:+$1/CMakeCache.txt} folder=
    [ -z "$cache" ] || [ ! -f "$cache" ] || folder=$(sed -n 's/^TUVR_WIN_TOOLCHAIN:[A-Z]*=//p' "$cache")
    if [ -n "$folder" ] && [ -d "$folder" ]; then
        echo "$folder"
    else
        scripts/windows/toolchain.sh | tail -n1
    fi
}

# A tree scripts/windows/build.sh has configured is only brought up to date
# (CMake configures it again by itself when its input changed); one it has
# not, it builds.
windows_build_tree() {
    if [ -f "$1/build.ninja" ]; then
        cmake --build "$1" -j"$(nproc)"
    else
        BUILD_DIR=$1 scripts/windows/build.sh
    fi
}
