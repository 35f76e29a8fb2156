#!/usr/bin/env bash
# random_run.sh [SECONDS] [SEED]: builds the random operator with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-random and runs it for SECONDS (default 600) with
# SEED (default: from the clock, printed so that a failing run can be replayed).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
seed=${2:-$(date +%s)}
"$root/scripts/deps.sh"
dir="$root/build-random"
if [ ! -f "$dir/CMakeCache.txt" ]; then
    launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBT_SANITIZE=ON -DBT_BENCH=OFF >/dev/null
fi
cmake --build "$dir" --parallel "$(nproc)" --target random_run
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
echo "== random run for ${seconds}s, seed $seed"
HOME="$home" APPDATA="$home" QT_QPA_PLATFORM=offscreen \
    "$dir/tests/robust/random_run" --seed "$seed" --seconds "$seconds"
