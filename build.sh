#!/usr/bin/env bash
# Installs what is missing, builds, and then runs the program or the tests.
#   ./build.sh run    build and start the program
#   ./build.sh test   build and run the whole test suite, again under the sanitizers, then
#                     the fuzzers (QUILLMARROW_FUZZ_SECONDS each, default 60)
#   ./build.sh bench  build in Release and print the benchmark table
set -euo pipefail
cd "$(dirname "$0")"

# clang and its runtime libraries (libFuzzer) build the fuzzing harnesses; MinGW-w64 and Wine
# build quillmarrow-cli and the window for Windows and run them.
packages=(cmake ninja-build g++ qt6-base-dev libgl-dev clang libclang-rt-dev mingw-w64 wine wine64)
# The digests: OpenSSL's libcrypto and zlib, and zlib for the Windows builds (CNG is Windows').
packages+=(libssl-dev zlib1g-dev libz-mingw-w64-dev)
# Xvfb is the display Wine needs for the window's Windows build; xwininfo finds its window.
# makensis makes the Windows installer.
packages+=(xvfb x11-utils xz-utils nsis)
# fusefat, dosfstools and FUSE mount the case-insensitive FAT folder of the extraction tests.
packages+=(fusefat dosfstools fuse3)
# dpkg-shlibdeps finds the Debian package's dependencies, lintian checks the package and man
# checks the manual pages.
packages+=(dpkg-dev lintian man-db groff-base)
# GNU tar and bsdtar are the peers of the small-entry benchmark, openssl (and sha256sum) of
# the checksum one.
bench_packages=(tar libarchive-tools openssl)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

configure() { # configure DIR [cmake options...]
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
}

build() { # build DIR [cmake options...]
    configure "$@"
    cmake --build "$1" -j2
}

# A fresh Wine prefix in FOLDER, served by one wineserver until the stage ends (started for each
# call, it costs seconds a call), with a UTF-8 locale so that non-ASCII file names can be stored
# and no prompts to install Wine's .NET and HTML engines, which the programs do not use. The
# caller stops the server (wineserver -k) when it is done.
fresh_wine_prefix() { # FOLDER
    export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineserver -p
    wineboot -i >/dev/null 2>&1
}

# Each EXE carries the program's icon (16, 32 and 48 pixels, each in 16 and 256 colours), its
# version information (the project's version) and its manifest, as a PE reader sees them:
# objdump lists the resource types, windres decompiles them.
check_windows_resources() { # EXE...
    local version exe types rc icons
    version=$(sed -nE 's/^project\(Quillmarrow VERSION ([0-9]+)\.([0-9]+)\.([0-9]+).*/\1, \2, \3, 0/p' CMakeLists.txt)
    for exe in "$@"; do
        # RT_ICON 3, RT_GROUP_ICON 14, RT_VERSION 16, RT_MANIFEST 24.
        types=$(x86_64-w64-mingw32-objdump -p "$exe" |
            sed -nE 's/^0[0-9a-f]{2}   Entry: ID: 0x0000([0-9a-f]{2}).*/\1/p' | tr '\n' ' ')
        rc=$(x86_64-w64-mingw32-windres -J coff -O rc -i "$exe")
        icons=$(sed -nE 's/^ *"\\([0-7]+)\\([0-7]+)\\[0-7]+\\000", 1, ([48]), .*/\1 \2 \3/p' <<<"$rc" |
            while read -r width height bits; do echo "$((8#$width))x$((8#$height))x$bits"; done |
            sort -n | tr '\n' ' ')
        if [ "$types" != "03 0e 10 18 " ] ||
            [ "$icons" != "16x16x4 16x16x8 32x32x4 32x32x8 48x48x4 48x48x8 " ] ||
            ! grep -q '^"IDI_ICON1" 14 /\* RT_GROUP_ICON \*/$' <<<"$rc" ||
            ! grep -q "^ FILEVERSION $version\$" <<<"$rc" ||
            ! grep -q "^ PRODUCTVERSION $version\$" <<<"$rc" ||
            ! grep -q 'VALUE "ProductName", "Quillmarrow"' <<<"$rc" ||
            ! grep -q '^1 24 /\* RT_MANIFEST \*/$' <<<"$rc"; then
            echo "$exe: resource types ${types:-none}, icons ${icons:-none}, or no version $version" >&2
            return 1
        fi
        local setting
        for setting in 'level=""asInvoker""' '<supportedOS Id=""{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}""/>' \
            '>true</longPathAware>' '>PerMonitorV2</dpiAwareness>'; do
            grep -qF "$setting" <<<"$rc" || { echo "$exe: the manifest lacks $setting" >&2; return 1; }
        done
        echo "$(basename "$exe"): icons $icons(size x size x bits), version ${version//, /.}, manifest"
    done
}

# quillmarrow-cli cross-built for Windows without Qt (in build-mingw/), then the native tst_cli
# (in build-mingw-tests/) run against quillmarrow-cli.exe under Wine, and its listing of the
# sample archive compared with the Linux program's.
test_windows_cli() (
    fresh_wine_prefix "$PWD/build-mingw/wine"
    unset DISPLAY WAYLAND_DISPLAY # console programs only: Wine needs no display
    trap 'wineserver -k' EXIT
    build build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
        -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=TRUE --no-warn-unused-cli \
        -DQUILLMARROW_GUI=OFF -DQUILLMARROW_TESTS=OFF -DQUILLMARROW_BENCH=OFF
    check_windows_resources build-mingw/bin/quillmarrow-cli.exe
    cmake -S . -B build-mingw-tests -G Ninja -DQUILLMARROW_GUI=OFF -DQUILLMARROW_BENCH=OFF \
        -DQUILLMARROW_CLI_UNDER_TEST="$PWD/build-mingw/bin/quillmarrow-cli.exe" \
        -DQUILLMARROW_TEST_LAUNCHER=wine -DQUILLMARROW_CLI_WINDOWS=ON >/dev/null
    cmake --build build-mingw-tests --target tst_cli -j2
    ctest --test-dir build-mingw-tests --output-on-failure -R '^tst_cli$'
    cmp <(wine build-mingw/bin/quillmarrow-cli.exe list --long build/bin/Sample.dat) \
        <(build/bin/quillmarrow-cli list --long build/bin/Sample.dat)
)

# Starts EXE under Wine and waits until its window "Quillmarrow" shows (at most a minute), then
# ends it.
show_window() { # EXE
    wine "$1" &
    local window=$! seconds=0
    until xwininfo -root -tree | grep -q '"Quillmarrow": '; do
        if [ $seconds -eq 60 ] || ! kill -0 $window 2>/dev/null; then
            echo "$1: no window showed" >&2
            return 1
        fi
        sleep 1
        seconds=$((seconds + 1))
    done
    kill $window
    wait $window || true
}

# The portable copy holds the programs, the image readers the viewer uses, the sample archive
# (the same bytes as the Linux build's), the licences and a README with CR LF line ends.
check_windows_zip() { # FOLDER
    local f
    for f in quillmarrow.exe quillmarrow-cli.exe platforms/qwindows.dll styles/qwindowsvistastyle.dll \
        imageformats/qgif.dll imageformats/qico.dll imageformats/qjpeg.dll LICENSE \
        licenses/Qt.txt licenses/MinGW-runtime.txt licenses/zlib.txt README.txt Sample.dat; do
        [ -f "$1/$f" ] || { echo "The zip lacks $f" >&2; return 1; }
    done
    if LC_ALL=C grep -q $'[^\r]$\|^$' "$1/README.txt"; then
        echo "The zip's README.txt has a line without CR LF" >&2
        return 1
    fi
    cmp "$1/Sample.dat" build/bin/Sample.dat
    check_windows_resources "$1/quillmarrow.exe" "$1/quillmarrow-cli.exe"
}

# The installer, run silently in a fresh Wine prefix: it installs into Program Files with a
# Start-menu entry, an entry in the installed programs and "Open with" for .dat, where another
# program is the default and stays so; the installed window and quillmarrow-cli.exe --version
# start; the silent uninstaller leaves none of it behind, and the other program's default.
test_windows_installer() ( # SETUP
    fresh_wine_prefix "$PWD/build-win/wine-setup"
    trap 'wineserver -k' EXIT
    local folder="$WINEPREFIX/drive_c/Program Files/Quillmarrow"
    local shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Quillmarrow.lnk"
    local uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmarrow'
    local application='HKLM\Software\Classes\Applications\quillmarrow.exe'
    local progid='HKLM\Software\Classes\Quillmarrow.Archive'
    local dat='HKLM\Software\Classes\.dat'
    wine reg add "$dat" /ve /d Other.Archive /f >/dev/null 2>&1
    wine "$1" /S
    local f
    for f in "$folder"/{quillmarrow.exe,quillmarrow-cli.exe,Uninstall.exe,Quillmarrow.installed} \
        "$shortcut"; do
        [ -f "$f" ] || { echo "$1 did not install $f" >&2; return 1; }
    done
    wine reg query "$uninstall" /v UninstallString >/dev/null
    wine reg query "$application\\SupportedTypes" /v .dat >/dev/null
    wine reg query "$dat\\OpenWithProgids" /v Quillmarrow.Archive >/dev/null
    if ! wine reg query "$dat" /ve 2>/dev/null | grep -q Other.Archive; then
        echo "$1 took the default of .dat files" >&2
        return 1
    fi
    wine "$folder/quillmarrow-cli.exe" --version
    show_window "$folder/quillmarrow.exe"

    # The uninstaller runs from a copy of itself, which it starts and leaves to finish.
    wine "$folder/Uninstall.exe" /S
    local seconds=0
    while [ -e "$folder" ] || wine reg query "$uninstall" >/dev/null 2>&1; do
        [ $seconds -lt 60 ] || { echo "$folder/Uninstall.exe left $folder or $uninstall" >&2; return 1; }
        sleep 1
        seconds=$((seconds + 1))
    done
    local key
    [ ! -e "$shortcut" ] || { echo "The uninstaller left $shortcut" >&2; return 1; }
    for key in "$application" "$progid"; do
        if wine reg query "$key" >/dev/null 2>&1; then
            echo "The uninstaller left $key" >&2
            return 1
        fi
    done
    if wine reg query "$dat\\OpenWithProgids" /v Quillmarrow.Archive >/dev/null 2>&1 ||
        ! wine reg query "$dat" /ve 2>/dev/null | grep -q Other.Archive; then
        echo "The uninstaller left Quillmarrow.Archive in $dat or took the key away" >&2
        return 1
    fi
    echo "Installer: $1 installed, started and uninstalled silently; nothing is left"
)

# The window cross-built for Windows against the Qt for Windows in ../shared (unpacked into
# build-win/qt-mingw), in build-win/build: the portable zip is made, unpacked into a fresh Wine
# prefix, checked and started from there (quillmarrow-cli.exe --version, and the window on
# Windows' own platform until it shows), then every test program but tst_cli (which runs above
# against quillmarrow-cli.exe) runs under Wine on the offscreen platform; last the installer is
# made and tried in a prefix of its own. Wine passes no QT_* variable on to Windows programs, so
# the prefix's registry holds them. Wine needs an X display for its own windows even then: the
# stage starts an Xvfb of its own. QUILLMARROW_QT_FOR_WINDOWS names the Qt archive when it lies
# elsewhere; packaging/build-qt-for-windows.sh makes it from Debian's Qt source.
qt_for_windows=${QUILLMARROW_QT_FOR_WINDOWS:-../shared/qt6-mingw-6.4.2.tar.xz}
test_windows_window() (
    if [ ! -f "$qt_for_windows" ]; then
        echo "Skipping the window's Windows build: $qt_for_windows is missing. To make it (about" \
            "half an hour): packaging/build-qt-for-windows.sh build-qt-for-windows, then" \
            "QUILLMARROW_QT_FOR_WINDOWS=build-qt-for-windows/qt6-mingw-6.4.2.tar.xz ./build.sh test"
        return
    fi
    local qt=$PWD/build-win/qt-mingw
    if [ ! "$qt/.unpacked" -nt "$qt_for_windows" ]; then
        rm -rf "$qt"
        mkdir -p build-win
        tar -xJf "$qt_for_windows" -C build-win
        touch "$qt/.unpacked"
    fi
    unset WAYLAND_DISPLAY WINEPATH
    local xvfb
    rm -f build-win/display
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>build-win/display 2>/dev/null &
    xvfb=$!
    trap 'kill $xvfb' EXIT
    until [ -s build-win/display ]; do
        kill -0 $xvfb 2>/dev/null || { echo "Xvfb did not start" >&2; return 1; }
        sleep 0.1
    done
    export DISPLAY=:$(cat build-win/display)
    fresh_wine_prefix "$PWD/build-win/wine"
    trap 'wineserver -k; kill $xvfb' EXIT
    # Everything, as cpack builds everything before it packs.
    build build-win/build -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_PREFIX_PATH="$qt" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQUILLMARROW_BENCH=OFF

    rm -f build-win/build/quillmarrow-*-win64.zip
    (cd build-win/build && cpack -G ZIP >/dev/null)
    local zip unpacked app
    zip=$(echo "$PWD"/build-win/build/quillmarrow-*-win64.zip)
    unpacked=$WINEPREFIX/drive_c/unpacked
    mkdir -p "$unpacked"
    (cd "$unpacked" && cmake -E tar xf "$zip")
    app=$(echo "$unpacked"/quillmarrow-*-win64)
    check_windows_zip "$app"
    wine "$app/quillmarrow-cli.exe" --version
    show_window "$app/quillmarrow.exe"
    echo "Package: $zip"

    # The Qt DLLs and the MinGW runtime for the test programs, which run in the build folder
    # (drive Z: is the root folder).
    local folders=("$qt/bin") dll folder
    for dll in libstdc++-6.dll libwinpthread-1.dll; do
        folders+=("$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=$dll)")")
    done
    WINEPATH=""
    for folder in "${folders[@]}"; do WINEPATH+="Z:${folder//\//\\};"; done
    export WINEPATH
    # Qt Test writes to the debugger rather than to standard output when it sees no console.
    for variable in QT_QPA_PLATFORM=offscreen QT_FORCE_STDERR_LOGGING=1; do
        wine reg add 'HKCU\Environment' /v "${variable%%=*}" /t REG_SZ /d "${variable#*=}" /f \
            >/dev/null 2>&1
    done
    ctest --test-dir build-win/build --output-on-failure -E '^tst_cli$'
    unset WINEPATH

    rm -f build-win/build/quillmarrow-*-win64-setup.exe
    (cd build-win/build && cpack -G NSIS >/dev/null)
    test_windows_installer "$(echo "$PWD"/build-win/build/quillmarrow-*-win64-setup.exe)"
    echo "Package: $(echo "$PWD"/build-win/build/quillmarrow-*-win64-setup.exe)"
)

# Makes the Debian package in build/ and checks it: every installed file is in it, its
# dependencies were found, lintian finds no error or warning, the manual pages format without
# a warning, and quillmarrow-cli runs from an unpacked copy.
check_package() {
    rm -f build/quillmarrow_*.deb
    (cd build && cpack -G DEB >/dev/null)
    local deb unpacked f
    deb=$(echo build/quillmarrow_*.deb)
    local contents
    contents=$(dpkg-deb -c "$deb")
    for f in bin/quillmarrow bin/quillmarrow-cli share/applications/quillmarrow.desktop \
        share/icons/hicolor/{16x16,32x32,48x48}/apps/quillmarrow.png \
        share/icons/hicolor/scalable/apps/quillmarrow.svg \
        share/man/man1/quillmarrow{,-cli}.1.gz share/doc/quillmarrow/{copyright,changelog.gz} \
        share/bash-completion/completions/quillmarrow-cli; do
        grep -q " \./usr/$f\$" <<<"$contents" || { echo "$deb lacks /usr/$f" >&2; return 1; }
    done
    dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || { echo "$deb: no Qt dependency" >&2; return 1; }
    lintian --fail-on error,warning "$deb" 2> >(grep -v 'running with root privileges' >&2)
    local page warnings
    for page in resources/man/*.1; do
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
        [ -z "$warnings" ] || { echo "$page: $warnings" >&2; return 1; }
    done
    unpacked=$(mktemp -d)
    dpkg-deb -x "$deb" "$unpacked"
    "$unpacked/usr/bin/quillmarrow-cli" --version
    rm -rf "$unpacked"
    echo "Package: $deb"
}

case "${1:-}" in
run)
    install_missing
    # Only what starts: the program, the command-line tool and the sample archive.
    configure build
    cmake --build build -j2 --target quillmarrow quillmarrow-cli quillmarrow_sample
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        exec ./build/bin/quillmarrow
    fi
    echo "No display: listing the sample archive with quillmarrow-cli instead of opening the window."
    ./build/bin/quillmarrow-cli list --long build/bin/Sample.dat
    ;;
test)
    install_missing
    build build
    QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure
    check_package
    # The archive core, the settings store and quillmarrow-cli alone, without Qt Widgets.
    build build-core -DQUILLMARROW_GUI=OFF -DQUILLMARROW_BENCH=OFF
    ctest --test-dir build-core --output-on-failure
    test_windows_cli
    test_windows_window
    # Everything again with AddressSanitizer (leaks included) and UndefinedBehaviorSanitizer.
    build build-asan -DQUILLMARROW_SANITIZE=ON -DQUILLMARROW_BENCH=OFF
    QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure
    # The libFuzzer harnesses, each for a bounded time; a crash fails the run. None of them
    # needs Qt Widgets.
    build build-fuzz -DQUILLMARROW_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
        -DQUILLMARROW_GUI=OFF -DQUILLMARROW_TESTS=OFF -DQUILLMARROW_BENCH=OFF
    fuzz/run build-fuzz
    ;;
bench)
    packages+=("${bench_packages[@]}")
    install_missing
    build build-bench -DCMAKE_BUILD_TYPE=Release -DQUILLMARROW_TESTS=OFF
    bench/run build-bench
    ;;
*)
    echo "usage: $0 run|test|bench" >&2
    exit 2
    ;;
esac
