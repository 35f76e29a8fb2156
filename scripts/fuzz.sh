#!/usr/bin/env bash
# fuzz.sh [SECONDS] [TARGET...]: builds the fuzz targets with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer, then runs each target for SECONDS
# (default 60) on a working copy of its committed corpus. Findings land in
# build-fuzz/findings/<target>/; add each one, once fixed, to fuzz/corpus/<target>/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}; shift || true
"$root/scripts/deps.sh"
dir="$root/build-fuzz"
if [ ! -f "$dir/CMakeCache.txt" ]; then
    launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBT_FUZZ=ON -DBT_SANITIZE=ON -DBT_BENCH=OFF >/dev/null
fi
mapfile -t all_targets < <(ninja -C "$dir" -t targets all | sed -n 's/^\(fuzz_[a-z0-9_]*\): .*/\1/p' | sort -u)
cmake --build "$dir" --parallel "$(nproc)" --target "${all_targets[@]}"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for t in "${all_targets[@]}"; do targets+=("${t#fuzz_}"); done
fi
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
status=0
for t in "${targets[@]}"; do
    work="$dir/corpus/$t"; findings="$dir/findings/$t"
    mkdir -p "$work" "$findings"
    cp -n "$root/fuzz/corpus/$t"/* "$work"/ 2>/dev/null || true
    echo "== $t for ${seconds}s"
    (cd "$findings" && QT_QPA_PLATFORM=offscreen "$dir/fuzz/fuzz_$t" -max_total_time="$seconds" \
        -print_final_stats=1 "$work" 2>&1 | grep -E 'stat::number_of_executed_units|ERROR|SUMMARY|Done' ) || status=1
done
exit $status
