#!/usr/bin/env bash
# Installs what is missing, builds, and then runs the program or the tests.
#   ./build.sh run    build and start the program
#   ./build.sh test   build and run the whole test suite, again under the sanitizers, then
#                     the fuzzers (QUILLMARROW_FUZZ_SECONDS each, default 60)
#   ./build.sh bench  build in Release and print the benchmark table
set -euo pipefail
cd "$(dirname "$0")"

# clang and its runtime libraries (libFuzzer) build the fuzzing harnesses; MinGW-w64 and Wine
# build quillmarrow-cli for Windows and run it.
packages=(cmake ninja-build g++ qt6-base-dev libgl-dev clang libclang-rt-dev mingw-w64 wine wine64)
# dpkg-shlibdeps finds the Debian package's dependencies, lintian checks the package and man
# checks the manual pages.
packages+=(dpkg-dev lintian man-db groff-base)
# GNU tar and bsdtar are the peers of the small-entry benchmark.
bench_packages=(tar libarchive-tools)

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

# quillmarrow-cli cross-built for Windows without Qt (in build-mingw/), then the native tst_cli
# (in build-mingw-tests/) run against quillmarrow-cli.exe under Wine, and its listing of the
# sample archive compared with the Linux program's. The Wine prefix is made afresh in the build
# folder, with a UTF-8 locale so that non-ASCII file names can be stored, and one wineserver
# serves the whole run (started for each call, it costs seconds a call).
test_windows_cli() (
    # No prompts to install Wine's .NET and HTML engines, which the CLI does not use.
    export WINEPREFIX=$PWD/build-mingw/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        LC_ALL=C.UTF-8
    unset DISPLAY WAYLAND_DISPLAY # console programs only: Wine needs no display
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineserver -p
    trap 'wineserver -k' EXIT
    wineboot -i >/dev/null 2>&1
    build build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
        -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=TRUE --no-warn-unused-cli \
        -DQUILLMARROW_GUI=OFF -DQUILLMARROW_TESTS=OFF -DQUILLMARROW_BENCH=OFF
    cmake -S . -B build-mingw-tests -G Ninja -DQUILLMARROW_GUI=OFF -DQUILLMARROW_BENCH=OFF \
        -DQUILLMARROW_CLI_UNDER_TEST="$PWD/build-mingw/bin/quillmarrow-cli.exe" \
        -DQUILLMARROW_TEST_LAUNCHER=wine -DQUILLMARROW_CLI_WINDOWS=ON >/dev/null
    cmake --build build-mingw-tests --target tst_cli -j2
    ctest --test-dir build-mingw-tests --output-on-failure -R '^tst_cli$'
    cmp <(wine build-mingw/bin/quillmarrow-cli.exe list --long build/bin/Sample.dat) \
        <(build/bin/quillmarrow-cli list --long build/bin/Sample.dat)
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
