#!/usr/bin/env bash
# Set-up, build and run in one step on a fresh Debian 12 machine.
#   ./dev.sh run         install what is missing, build, open the panel on the simulated bus
#   ./dev.sh test        install what is missing, build, run every test headless
#   ./dev.sh sanitize    the same tests in a second build with AddressSanitizer and UBSan
#   ./dev.sh fuzz [SECS] build the libFuzzer targets with clang and run each for SECS (default 20)
#   ./dev.sh bench       build and run the benchmark against the simulator
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${KESTRAVA_BUILD_DIR:-$here/build}"
jobs="${KESTRAVA_JOBS:-2}"
packages=(cmake g++ make libgl-dev qt6-base-dev qt6-serialport-dev fonts-dejavu-core)

install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "Installing: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

configure_and_build() { # build-dir, extra cmake arguments...
    local dir="$1"; shift
    cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j"$jobs"
}

run_tests() { # build-dir
    (cd "$1" && QT_QPA_PLATFORM=offscreen ctest -j"$jobs" --output-on-failure --timeout 300)
}

case "${1:-}" in
run)
    install_missing "${packages[@]}"
    configure_and_build "$build"
    exec "$build/panel/kestrava" --simulate
    ;;
test)
    install_missing "${packages[@]}"
    configure_and_build "$build"
    run_tests "$build"
    ;;
sanitize)
    install_missing "${packages[@]}"
    configure_and_build "$build-sanitize" -DKESTRAVA_SANITIZE=ON
    # Leak checking is off: the platform libraries under Qt keep caches alive until exit.
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 run_tests "$build-sanitize"
    ;;
fuzz)
    install_missing "${packages[@]}" clang libclang-rt-14-dev
    CXX=clang++ CC=clang configure_and_build "$build-fuzz" -DKESTRAVA_FUZZ=ON
    seconds="${2:-20}"
    for target in "$build-fuzz"/tests/fuzz/fuzz_*; do
        [ -f "$target" ] && [ -x "$target" ] || continue
        name="$(basename "$target")"
        corpus="$here/tests/fuzz/corpus/${name#fuzz_}"
        work="$build-fuzz/corpus-${name#fuzz_}"
        mkdir -p "$work"
        echo "== $name for ${seconds}s"
        ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen \
            "$target" -max_total_time="$seconds" -print_final_stats=1 "$work" "$corpus" 2>&1 | tail -4
    done
    ;;
bench)
    install_missing "${packages[@]}"
    configure_and_build "$build"
    exec "$build/bench/kestrava-bench"
    ;;
*)
    sed -n '2,8p' "$0"
    exit 2
    ;;
esac
