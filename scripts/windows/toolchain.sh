#!/usr/bin/env bash
# Builds what Tuv-R's Windows build links, for x86_64-w64-mingw32, from
# Debian's own source packages: Qt's Core, Gui, Widgets and Test (shared, with
# the windows and offscreen platform plugins), a static libx264, static
# libavcodec and libavutil holding only the H.264 decoder and parser, a static
# libswscale for the pictures the program shows, and gettext's static libintl
# for the tools' catalogue.
# They go into a folder named after the four source versions,
# ${XDG_CACHE_HOME:-~/.cache}/tuv-r/mingw-KEY, or TUVR_WIN_TOOLCHAIN. A
# complete folder is taken as it is; the folder is the last line printed,
# which windows_toolchain in scripts/windows/common.sh takes.
# Installs the cross compilers, Wine and Xvfb when missing.
set -euo pipefail
cd "$(dirname "$0")/../.."

# Raise when the build below changes, so an older folder is not taken for it.
recipe=2
mingw=x86_64-w64-mingw32

scripts/deps.sh gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
    mingw-w64-tools nasm ninja-build dpkg-dev wine wine64 fonts-wine fonts-dejavu-core xvfb x11-apps netpbm >&2

# Qt's host tools build the cross Qt, so both must come from one source; the
# codecs are the Linux build's, so both builds decode alike.
source_version() { dpkg-query -W -f='${source:Version}' "$1"; }
qt_version=$(source_version qt6-base-dev)
x264_version=$(source_version libx264-dev)
ffmpeg_version=$(source_version libavcodec-dev)
gettext_version=$(source_version gettext)
stamp="qt6-base $qt_version
x264 $x264_version
ffmpeg $ffmpeg_version
gettext $gettext_version
recipe $recipe"
# Without the epochs: a colon would split PKG_CONFIG_LIBDIR.
key="qt6-base-${qt_version#*:}_x264-${x264_version#*:}_ffmpeg-${ffmpeg_version#*:}_gettext-${gettext_version#*:}_r$recipe"
cache=$(realpath -m "${TUVR_WIN_TOOLCHAIN:-${XDG_CACHE_HOME:-$HOME/.cache}/tuv-r/mingw-$key}")
stamp_file=$cache/toolchain-sources.txt
log=$cache.log

cache_state() {
    if [ ! -e "$cache" ]; then
        echo missing
    elif [ "$(cat "$stamp_file" 2>/dev/null)" = "$stamp" ]; then
        echo complete
    else
        echo foreign
    fi
}

# The system's own package sources with deb turned into deb-src, in apt's
# layout under $1; the system's lists stay as they are.
write_source_lists() {
    local to=$1 file
    mkdir -p "$to/sources.list.d"
    : >"$to/sources.list"
    [ ! -f /etc/apt/sources.list ] || one_line_sources </etc/apt/sources.list >"$to/sources.list"
    for file in /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        one_line_sources <"$file" >"$to/sources.list.d/${file##*/}"
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        deb822_sources <"$file" >"$to/sources.list.d/${file##*/}"
    done
}

one_line_sources() { sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p'; }

# Keeps each enabled stanza whose Types include deb, as Types: deb-src.
deb822_sources() {
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         tolower($0) ~ /(^|\n)enabled:[ \t]*no/ { next }
         $0 ~ /(^|\n)Types:[^\n]*[: \t]deb([ \t\n]|$)/ {
             n = split($0, lines, "\n"); out = ""
             for (i = 1; i <= n; i++)
                 out = out (lines[i] ~ /^Types:/ ? "Types: deb-src" : lines[i]) (i < n ? "\n" : "")
             print out
         }'
}

fetch_sources() {
    local apt=$downloads/apt
    mkdir -p "$apt/lists/partial" "$apt/cache"
    write_source_lists "$apt"
    local options=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/sources.list.d"
                   -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache")
    apt-get "${options[@]}" update
    (cd "$downloads" && apt-get "${options[@]}" source --download-only \
        qt6-base="$qt_version" x264="$x264_version" ffmpeg="$ffmpeg_version" gettext="$gettext_version")
    dpkg-source -x "$downloads/qt6-base_${qt_version#*:}.dsc" "$work/qtbase"
    dpkg-source -x "$downloads/x264_${x264_version#*:}.dsc" "$work/x264"
    dpkg-source -x "$downloads/ffmpeg_${ffmpeg_version#*:}.dsc" "$work/ffmpeg"
    dpkg-source -x "$downloads/gettext_${gettext_version#*:}.dsc" "$work/gettext"
}

# Debian's source lacks the wintab headers the tablet support wants, and the
# windows plugin fails to link with DirectWrite 3. OpenGL goes by INPUT_opengl:
# FEATURE_opengl alone leaves dynamic OpenGL on, which the windows plugin then
# fails to compile. Direct2D would only build one more platform plugin. The
# offscreen plugin needs FreeType, here Qt's own; Qt's own zlib, PNG, HarfBuzz
# and PCRE2 too, so the DLLs need nothing beyond the compiler's runtime.
build_qtbase() {
    cmake -S "$work/qtbase" -B "$work/build-qtbase" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON -DCMAKE_INSTALL_PREFIX="$cache" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF \
        -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DINPUT_opengl=no \
        -DFEATURE_vulkan=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
        -DFEATURE_jpeg=OFF -DFEATURE_tabletevent=OFF -DFEATURE_directwrite3=OFF -DFEATURE_direct2d=OFF \
        -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF -DFEATURE_fontconfig=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_harfbuzz=OFF \
        -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF
    cmake --build "$work/build-qtbase" --parallel 2
    DESTDIR=$work/stage cmake --install "$work/build-qtbase" --strip
}

build_x264() {
    (cd "$work/x264" &&
        CC=$mingw-gcc-posix ./configure --prefix="$cache" --host=$mingw --cross-prefix=$mingw- \
            --disable-cli --enable-static &&
        make -j2 && make install DESTDIR="$work/stage")
}

build_ffmpeg() {
    mkdir -p "$work/build-ffmpeg"
    (cd "$work/build-ffmpeg" &&
        "$work/ffmpeg/configure" --prefix="$cache" --enable-cross-compile --target-os=mingw32 --arch=x86_64 \
            --cross-prefix=$mingw- --cc=$mingw-gcc-posix --enable-static --disable-shared \
            --disable-everything --enable-decoder=h264 --enable-parser=h264 \
            --disable-programs --disable-avformat --disable-avfilter --disable-swresample \
            --disable-avdevice --disable-network --disable-autodetect --disable-doc &&
        make -j2 && make install DESTDIR="$work/stage")
}

# Only the runtime's libintl, without iconv: the catalogue is UTF-8 and the
# tools ask for UTF-8. Debian's patches leave the autotools' inputs newer
# than their outputs, which the shipped configure already matches.
build_libintl() {
    local regenerate=(ACLOCAL=true AUTOCONF=true AUTOMAKE=true AUTOHEADER=true)
    mkdir -p "$work/build-gettext"
    (cd "$work/build-gettext" &&
        "$work/gettext/gettext-runtime/configure" --prefix="$cache" --host=$mingw CC=$mingw-gcc-posix \
            --enable-static --disable-shared --with-included-gettext --without-libiconv-prefix \
            --disable-libasprintf --disable-java --disable-csharp --disable-openmp --disable-curses --disable-c++ \
            am_cv_func_iconv=no &&
        make -C intl -j2 "${regenerate[@]}" && make -C intl install "${regenerate[@]}" DESTDIR="$work/stage")
}

# Only static libraries live here, so what they link goes into the plain
# flags too: CMake's pkg_check_modules() asks without --static.
fold_private_pkgconfig() {
    local pc
    for pc in "$work/stage$cache"/lib/pkgconfig/*.pc; do
        awk -F': *' '$1 == "Libs.private" { libs = $2; next }
                     $1 == "Requires.private" { requires = $2; next }
                     { line[++n] = $0 }
                     END {
                         for (i = 1; i <= n; i++) {
                             if (line[i] ~ /^Libs:/) line[i] = line[i] " " libs
                             if (line[i] ~ /^Requires:/) { line[i] = line[i] " " requires; requires = "" }
                             print line[i]
                         }
                         if (requires != "") print "Requires: " requires
                     }' "$pc" >"$pc.new"
        mv "$pc.new" "$pc"
    done
}

# step NAME COMMAND...: runs COMMAND into the log and tells how long it took.
step() {
    local name=$1 start=$SECONDS
    shift
    echo "$name ..." >&2
    running=$name
    "$@" >>"$log" 2>&1
    running=
    echo "$name: $((SECONDS - start)) s" >&2
}

clean_up() {
    local status=$?
    rm -rf "$work" "$downloads"
    if [ -n "$running" ]; then
        tail -n 30 "$log" >&"$stderr"
        echo "$running did not finish; the whole log is $log" >&"$stderr"
    fi
    exit "$status"
}

mkdir -p "$(dirname "$cache")"
# A second run for the same folder waits here, then finds it complete.
exec 9>"$cache.lock"
flock 9
case $(cache_state) in
    complete) echo "$cache"; exit 0 ;;
    foreign) echo "$cache holds another build; remove it or set TUVR_WIN_TOOLCHAIN elsewhere" >&2; exit 1 ;;
esac

# Built beside the folder and renamed into place when whole, so an interrupted
# run never leaves a folder that looks complete; the lock keeps out a live one.
rm -rf "$cache".partial.*
running=
work=$(mktemp -d "$cache.partial.XXXXXX")
# apt's unprivileged downloader must be able to write the sources there.
downloads=$(mktemp -d)
chmod 755 "$downloads"
[ "$(id -u)" -ne 0 ] || ! id _apt >/dev/null 2>&1 || chown _apt "$downloads"
# An interruption comes while a step's output goes to the log.
exec {stderr}>&2
trap clean_up EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
: >"$log"

start=$SECONDS
step "Fetching the sources" fetch_sources
# The short builds first, so that their failures show early.
step "Building x264" build_x264
step "Building FFmpeg" build_ffmpeg
step "Building libintl" build_libintl
step "Building qtbase" build_qtbase
fold_private_pkgconfig
echo "$stamp" >"$work/stage$cache/${stamp_file##*/}"
mv -T "$work/stage$cache" "$cache"
echo "All built in $((SECONDS - start)) s; $(du -sh "$cache" | cut -f1) installed" >&2
echo "$cache"
