#!/usr/bin/env bash
# One entry point for everything: set up a fresh Debian 12 machine, build, test, demo, bench.
#   ./lumivane.sh setup      install the missing Debian packages (as root or through sudo)
#   ./lumivane.sh build      setup, configure and build (build/release)
#   ./lumivane.sh test       build, then run every test through CTest
#   ./lumivane.sh asan       the same tests in an AddressSanitizer build (build/asan)
#   ./lumivane.sh tsan       the run, muxing, loader and window tests under ThreadSanitizer
#   ./lumivane.sh demo       build, then render the bundled example project
#   ./lumivane.sh package    build, then the Debian package (build/package/), checked
#   ./lumivane.sh bench      build, then run the benchmarks
#   ./lumivane.sh render ARGS...   build, then run the headless renderer with ARGS
#   ./lumivane.sh run [PROJECT]    build, then start the window
#   ./lumivane.sh screenshots      build, then screenshots of the window under Xvfb (docs/)
#   ./lumivane.sh fuzz [SECONDS] [TARGET...]   the fuzz targets, SECONDS each (build/fuzz)
#   ./lumivane.sh format     reformat the sources with clang-format
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
JOBS=${JOBS:-$(nproc)}

setup() {
    local missing=()
    while read -r pkg; do
        [[ -z "$pkg" || "$pkg" == \#* ]] && continue
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$pkg")
    done <"$ROOT/tools/debian-packages.txt"
    if ((${#missing[@]} == 0)); then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [[ $(id -u) -ne 0 ]]; then
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

configure_and_build() { # dir, extra cmake args...
    local dir=$1
    shift
    cmake -S "$ROOT" -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$JOBS"
}

build() {
    setup
    configure_and_build "$ROOT/build/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo
}

# The .deb from the release build, then what distributions check of one, then the package as it
# installs (tests/package/installed.sh).
package() {
    build
    rm -rf "$ROOT/build/package"
    (cd "$ROOT/build/release" && cpack -G DEB -B "$ROOT/build/package" >/dev/null)
    local deb
    deb=$(echo "$ROOT"/build/package/lumivane_*_amd64.deb)
    "$ROOT/packaging/check.sh" "$deb"
    "$ROOT/tests/package/installed.sh" "$deb"
    echo "Package: ${deb#"$PWD"/}"
}

run_tests() { # dir
    (cd "$1" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$JOBS" --timeout 900)
}

cmd=${1:-build}
shift || true
case "$cmd" in
setup) setup ;;
build) build ;;
test)
    build
    run_tests "$ROOT/build/release"
    ;;
asan)
    setup
    configure_and_build "$ROOT/build/asan" -DCMAKE_BUILD_TYPE=Debug -DLUMIVANE_ASAN=ON \
        -DLUMIVANE_BENCH=OFF
    ASAN_OPTIONS=detect_leaks=0 run_tests "$ROOT/build/asan"
    ;;
tsan)
    setup
    cmake -S "$ROOT" -B "$ROOT/build/tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DLUMIVANE_TSAN=ON -DLUMIVANE_BENCH=OFF >/dev/null
    cmake --build "$ROOT/build/tsan" -j "$JOBS" \
        --target test_app test_multiplex test_project MainDlgTest DialogsTest
    export QT_QPA_PLATFORM=offscreen
    export TSAN_OPTIONS="die_after_fork=0 second_deadlock_stack=1 suppressions=$ROOT/tools/tsan.supp"
    t="$ROOT/build/tsan/tests"
    "$t/test_app" --gtest_filter='SlideshowRun.*:VideoMakerThd.*'
    "$t/test_multiplex"
    "$t/test_project"
    "$t/MainDlgTest"
    "$t/DialogsTest"
    echo "ThreadSanitizer: no report"
    ;;
demo)
    build
    "$ROOT/examples/demo.sh" "$ROOT/build/release"
    ;;
package) package ;;
bench)
    build
    "$ROOT/bench/run.sh" "$ROOT/build/release"
    ;;
render)
    build >/dev/null
    exec "$ROOT/build/release/app/cli/lumivane-render" "$@"
    ;;
run)
    build >/dev/null
    exec "$ROOT/build/release/app/gui/lumivane" "$@"
    ;;
screenshots)
    build
    "$ROOT/tools/screenshots.sh" "$ROOT/build/release"
    ;;
fuzz)
    setup
    "$ROOT/tools/fuzz.sh" "$@"
    ;;
format)
    git -C "$ROOT" ls-files '*.cpp' '*.h' | (cd "$ROOT" && xargs clang-format -i)
    ;;
*)
    sed -n '2,14p' "$0"
    exit 2
    ;;
esac
