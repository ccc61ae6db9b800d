#!/usr/bin/env bash
# Builds the libFuzzer targets with address and undefined-behaviour sanitizers into build-fuzz/
# (or FUZZ_BUILD_DIR) and runs each for FUZZ_SECONDS (60) seconds, one after the other. The
# seeds in fuzz/corpus/ are copied to a work folder first, so the repository's stay small.
# Names of targets as arguments run only those. Crash inputs land in the work folder.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$top/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
work=${FUZZ_WORK_DIR:-$build/fuzz-work}
targets=("$@")
((${#targets[@]})) || targets=(fuzz_respond fuzz_discovery fuzz_ack fuzz_text fuzz_collect)

bash "$top/scripts/setup-debian.sh"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTELVIQ_BUILD_GUI=OFF -DTELVIQ_BUILD_TESTS=OFF -DTELVIQ_SANITIZE=ON -DTELVIQ_FUZZ=ON \
    -DTELVIQ_WERROR=ON >/dev/null
cmake --build "$build" --target "${targets[@]}" -j "${FUZZ_JOBS:-2}"

declare -A executions outcome
failed=0
for t in "${targets[@]}"; do
    corpus=$work/$t/corpus
    rm -rf "${work:?}/$t"
    mkdir -p "$corpus"
    cp "$top/fuzz/corpus/$t/"* "$corpus/"
    echo "== $t: $seconds s"
    log=$work/$t/log
    if (cd "$work/$t" && "$build/fuzz/$t" -max_total_time="$seconds" -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/$t/" "$corpus" >"$log" 2>&1); then
        outcome[$t]=ok
    else
        outcome[$t]="FAILED (see $log)"
        failed=1
        grep -E "^(==[0-9]+==ERROR|property broken|SUMMARY)|runtime error" "$log" | head -5 || true
    fi
    executions[$t]=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
done

echo
printf '%-16s %14s  %s\n' target executions outcome
for t in "${targets[@]}"; do
    printf '%-16s %14s  %s\n' "$t" "${executions[$t]:-?}" "${outcome[$t]}"
done
exit "$failed"
