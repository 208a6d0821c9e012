#!/usr/bin/env bash
# Set-up, build and run in one step on a fresh Debian 12 machine.
#   ./dev.sh run [ARGS...] install what is missing, build the programs into build/bin, open the
#                          panel on the simulated bus (ARGS go on to kestrava, after --simulate);
#                          needs a display (status 4 without one, before anything is built)
#   ./dev.sh test          install what is missing, build everything, run every test headless
#   ./dev.sh sanitize      the same tests in a second build with AddressSanitizer and UBSan
#   ./dev.sh fuzz [SECS]   build the libFuzzer targets with clang and run each for SECS (default 20)
#   ./dev.sh bench         build and run the benchmarks against the simulator (C++, then Python)
#   ./dev.sh package       build the programs and pack them into a .deb in build/package
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${KESTRAVA_BUILD_DIR:-$here/build}"
jobs="${KESTRAVA_JOBS:-2}"
log="$build/dev.log"
# What `run` needs: the build, and the window's own fonts (without DejaVu Sans Condensed the
# window falls back to a wider face). Qt Linguist's lupdate and lrelease build the windows'
# translations into the programs; qt6-translations-l10n holds Qt's own texts (a message box's
# buttons) in Spanish. bubblewrap is kestrava-judge's sandbox, one for each program it judges.
run_packages=(cmake g++ make libgl-dev qt6-base-dev qt6-serialport-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
              fonts-dejavu-core fonts-dejavu-extra bubblewrap)
# What the tests need besides: ser2net and socat carry the line to a robot out of reach in the
# tests and the benchmark; python3-pytest runs the Python package's tests; GNU parallel spreads
# kestrava-judge's trials in the documented example, which a test runs. Chromium opens
# kestrava-judge's report headless in its test, as a reader's browser would. python3-venv and
# python3-pip install the package as the docs tell a newcomer to.
packages=("${run_packages[@]}" ser2net socat python3-pytest python3-venv python3-pip parallel chromium)
# Packing (dpkg-shlibdeps finds the dependencies; file tells it which files are programs)
# and the checks CI runs on the package.
packing=(dpkg-dev file lintian desktop-file-utils appstream)

say() { echo "dev.sh: $*"; }

# "1 package", "2 packages".
count_of() { # number, noun
    if [ "$1" -eq 1 ]; then echo "1 $2"; else echo "$1 $2s"; fi
}

# Runs a step with its output in the log; on failure shows the log's end and its path.
step() { # description, command...
    local what="$1"; shift
    say "$what"
    if ! "$@" >>"$log" 2>&1; then
        tail -n 25 "$log" >&2
        say "failed while $what; the whole output is in $log" >&2
        exit 1
    fi
}

install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null 2>&1; then
            say "$(count_of ${#missing[@]} package) to install (${missing[*]}), and this user can neither install packages nor use sudo." >&2
            say "Run this as root, then try again:" >&2
            echo "    apt-get update && apt-get install -y ${missing[*]}" >&2
            exit 1
        fi
        sudo=(sudo)
    fi
    step "updating the package lists…" "${sudo[@]}" apt-get update
    step "installing $(count_of ${#missing[@]} package) (${missing[*]})…" \
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
}

configure() { # build-dir, extra cmake arguments...
    local dir="$1"; shift
    step "configuring $dir…" cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
}

build_targets() { # build-dir, targets... (none: everything)
    local dir="$1"; shift
    local targets=()
    [ $# -gt 0 ] && targets=(--target "$@")
    step "building ${*:-everything} in $dir (the first build takes a few minutes)…" \
        cmake --build "$dir" -j"$jobs" "${targets[@]}"
}

# Qt wants XDG_RUNTIME_DIR, a private folder of the user's; a root shell or a bare login
# (su, a container, ssh without a session) has none and Qt warns that it made its own.
runtime_folder() {
    [ -n "${XDG_RUNTIME_DIR:-}" ] && [ -d "$XDG_RUNTIME_DIR" ] && return 0
    local folder="${TMPDIR:-/tmp}/kestrava-runtime-$(id -u)"
    mkdir -p -m 0700 "$folder" 2>/dev/null || true
    # Someone else's folder, or one that others may read, is no private folder: make another.
    if [ ! -O "$folder" ] || [ "$(stat -c %a "$folder")" != 700 ]; then
        folder="$(mktemp -d)"
    fi
    export XDG_RUNTIME_DIR="$folder"
}

# The same rule as the programs' own (process/display.h): a display named, or a Qt platform
# that needs none. Checked before anything is installed or built.
display_available() {
    case "${QT_QPA_PLATFORM:-}" in
    "" | xcb* | wayland*) [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ] ;;
    *) return 0 ;;
    esac
}

run_tests() { # build-dir
    say "testing…"
    (cd "$1" && QT_QPA_PLATFORM=offscreen ctest -j"$jobs" --output-on-failure --timeout 300)
}

mkdir -p "$build"
: >"$log"
command="${1:-}"
[ $# -gt 0 ] && shift
case "$command" in
run)
    if ! display_available; then
        say "no display to open the windows on: run it in a desktop session, or under xvfb-run (xvfb-run -a ./dev.sh run) for a test; ./dev.sh test needs none" >&2
        exit 4
    fi
    install_missing "${run_packages[@]}"
    configure "$build"
    build_targets "$build" kestrava kestrava-sim kestrava-cli
    say "the programs are in $build/bin: kestrava, kestrava-sim, kestrava-cli, kestrava-judge (try: $build/bin/kestrava-cli --simulate ranges)"
    runtime_folder
    exec "$build/bin/kestrava" --simulate "$@"
    ;;
test)
    install_missing "${packages[@]}"
    configure "$build"
    build_targets "$build"
    run_tests "$build"
    ;;
sanitize)
    install_missing "${packages[@]}"
    configure "$build-sanitize" -DKESTRAVA_SANITIZE=ON
    build_targets "$build-sanitize"
    # Leak checking is off: the platform libraries under Qt keep caches alive until exit.
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 run_tests "$build-sanitize"
    ;;
fuzz)
    install_missing "${packages[@]}" clang libclang-rt-14-dev
    CXX=clang++ CC=clang configure "$build-fuzz" -DKESTRAVA_FUZZ=ON
    build_targets "$build-fuzz"
    seconds="${1:-20}"
    for target in "$build-fuzz"/bin/fuzz_*; do
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
    configure "$build"
    build_targets "$build" kestrava-bench kestrava kestrava-sim kestrava-cli
    "$build/bin/kestrava-bench"
    KESTRAVA_CLI="$build/bin/kestrava-cli" PYTHONPATH="$here/python" python3 "$here/bench/python_bench.py"
    KESTRAVA_CLI="$build/bin/kestrava-cli" PYTHONPATH="$here/python" python3 "$here/bench/drivebase_bench.py"
    KESTRAVA_CLI="$build/bin/kestrava-cli" PYTHONPATH="$here/python" python3 "$here/bench/judge_bench.py"
    ;;
package)
    install_missing "${packages[@]}" "${packing[@]}"
    configure "$build"
    build_targets "$build" kestrava-installable
    rm -f "$build"/package/kestrava_*.deb
    step "packing…" cpack --config "$build/CPackConfig.cmake" -B "$build/package"
    deb="$(ls "$build"/package/kestrava_*.deb)"
    say "$deb ($(du -k "$deb" | cut -f1) KiB); install it as root, or with sudo: apt-get install $deb"
    ;;
*)
    sed -n '2,9p' "$0"
    exit 2
    ;;
esac
