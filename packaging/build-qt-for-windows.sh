#!/usr/bin/env bash
# Builds the Qt for Windows that the window's Windows build links, from Debian 12's own qt6-base
# source package with Debian's MinGW-w64, and packs it as qt6-mingw-6.4.2.tar.xz (one folder,
# qt-mingw/, the installed Qt):
#   packaging/build-qt-for-windows.sh [WORKDIR]     (default: build-qt-for-windows)
# WORKDIR gets the source, the build folder and the archive. The source comes through apt with a
# deb-src line of the script's own (nothing in /etc/apt changes); apt checks it against the
# signed Debian archive. It takes about half an hour on two cores; QUILLMARROW_JOBS sets the
# number of compile jobs (default 2).
#
# Qt's base module only: Core, Gui, Widgets, Concurrent and Test as DLLs, the windows, direct2d,
# offscreen and minimal platform plugins, the Windows Vista style and the GIF, ICO and JPEG
# image readers. Its bundled third-party libraries are used (zlib, libpng, libjpeg, FreeType,
# HarfBuzz, PCRE2, ...), so the DLLs need nothing but Windows and the MinGW runtime. The tools
# (moc, rcc, uic) are Debian's Linux ones from qt6-base-dev-tools.
set -euo pipefail

version=6.4.2+dfsg-10
qt_version=${version%%+*}
work=$(realpath -m "${1:-build-qt-for-windows}")
jobs=${QUILLMARROW_JOBS:-2}
mingw=x86_64-w64-mingw32

needed=(apt-get dpkg-source cmake ninja perl xz "$mingw-g++-posix" "$mingw-windres"
    /usr/lib/qt6/libexec/moc /usr/lib/x86_64-linux-gnu/cmake/Qt6/Qt6Config.cmake)
for tool in "${needed[@]}"; do
    if ! command -v "$tool" >/dev/null && [ ! -e "$tool" ]; then
        echo "$0: $tool is missing; on Debian 12:" >&2
        echo "  apt-get install dpkg-dev cmake ninja-build perl xz-utils mingw-w64 qt6-base-dev qt6-base-dev-tools" >&2
        exit 1
    fi
done

mkdir -p "$work"
cd "$work"
started=$SECONDS

# The source package, with Debian's patches (security fixes among them) applied by dpkg-source.
source=$work/qtbase-everywhere-src-$qt_version
if [ ! -f "$source/.fetched" ]; then
    rm -rf apt "$source" qt6-base_*
    mkdir -p apt/lists/partial apt/cache/archives/partial
    cat >apt/sources.list <<'EOF'
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
EOF
    apt_options=(-o Dir::Etc::SourceList="$work/apt/sources.list" -o Dir::Etc::SourceParts=-
        -o Dir::State::Lists="$work/apt/lists" -o Dir::Cache="$work/apt/cache"
        -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
    apt-get "${apt_options[@]}" update -qq
    apt-get "${apt_options[@]}" source --download-only "qt6-base=$version"
    dpkg-source -x qt6-base_"$version".dsc "$source"
    # The only change: 6.4.2 does not build without OpenGL otherwise (isSoftwareGl() needs the
    # OpenGL context classes).
    windows_window=$source/src/plugins/platforms/windows/qwindowswindow.cpp
    sed -i '/^static inline bool isSoftwareGl()$/,/^}$/ s/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
        "$windows_window"
    grep -q '^#if QT_CONFIG(dynamicgl) && QT_CONFIG(opengl)$' "$windows_window"
    touch "$source/.fetched"
fi

cat >toolchain.cmake <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $mingw-gcc-posix)
set(CMAKE_CXX_COMPILER $mingw-g++-posix)
set(CMAKE_RC_COMPILER $mingw-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$mingw)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

# Every library Qt can take from the system is its bundled copy instead: there is no system to
# take it from.
system_features=()
for library in doubleconversion freetype harfbuzz jpeg libb2 pcre2 png sqlite \
    textmarkdownreader xcb_xinput zlib; do
    system_features+=("-DFEATURE_system_$library=OFF")
done

rm -rf build install
cmake -S "$source" -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
    -DCMAKE_INSTALL_PREFIX=/qt-mingw \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF \
    -DFEATURE_printsupport=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF -DFEATURE_tabletevent=OFF \
    -DFEATURE_icu=OFF -DFEATURE_pkg_config=OFF "${system_features[@]}"
cmake --build build -j"$jobs"
# Installed under a prefix that names no folder of this machine: the few files that record it
# (target_qt.conf, the .prl and .pc files) say /qt-mingw, and Qt finds itself where it lies.
DESTDIR=$work/install cmake --install build

for plugin in platforms/qwindows platforms/qdirect2d platforms/qoffscreen platforms/qminimal \
    styles/qwindowsvistastyle imageformats/qgif imageformats/qico imageformats/qjpeg; do
    [ -f "install/qt-mingw/plugins/$plugin.dll" ] || { echo "$0: no $plugin.dll" >&2; exit 1; }
done

archive=$work/qt6-mingw-$qt_version.tar.xz
tar -C install --sort=name --owner=0 --group=0 --numeric-owner -cJf "$archive" qt-mingw
echo "Built $archive in $(((SECONDS - started) / 60)) minutes."
echo "Use it with: QUILLMARROW_QT_FOR_WINDOWS=$archive ./build.sh test"
