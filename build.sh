#!/usr/bin/env bash
# Installs what is missing, builds, and then runs the program or the tests.
#   ./build.sh run    build and start the program
#   ./build.sh test   build and run the whole test suite, again under the sanitizers, then
#                     the fuzzers (QUILLMARROW_FUZZ_SECONDS each, default 60)
#   ./build.sh bench  build in Release and print the benchmark table
set -euo pipefail
cd "$(dirname "$0")"

# clang and its runtime libraries (libFuzzer) build the fuzzing harnesses.
packages=(cmake ninja-build g++ qt6-base-dev libgl-dev clang libclang-rt-dev)
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

build() { # build DIR [cmake options...]
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j2
}

case "${1:-}" in
run)
    install_missing
    build build
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
    # The archive core and quillmarrow-cli alone, without Qt Widgets.
    build build-core -DQUILLMARROW_GUI=OFF -DQUILLMARROW_BENCH=OFF
    ctest --test-dir build-core --output-on-failure
    # Everything again with AddressSanitizer (leaks included) and UndefinedBehaviorSanitizer.
    build build-asan -DQUILLMARROW_SANITIZE=ON -DQUILLMARROW_BENCH=OFF
    QT_QPA_PLATFORM=offscreen ctest --test-dir build-asan --output-on-failure
    # The libFuzzer harnesses, each for a bounded time; a crash fails the run. Qt Widgets is
    # built too: the settings harness needs clsINI, whose one message box lives in winutil.
    build build-fuzz -DQUILLMARROW_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ \
        -DQUILLMARROW_GUI=ON -DQUILLMARROW_TESTS=OFF -DQUILLMARROW_BENCH=OFF
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
