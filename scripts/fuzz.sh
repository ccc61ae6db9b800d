#!/usr/bin/env bash
# Builds the libFuzzer targets with address and undefined-behaviour sanitizers into build-fuzz/
# (or FUZZ_BUILD_DIR) and runs each in turn, for FUZZ_SECONDS seconds or FUZZ_RUNS executions,
# whichever comes first (60 seconds when neither is given; FUZZ_RUNS alone runs without a time
# limit). The corpus in fuzz/corpus/ is copied to a work folder first, so the repository's stays
# small; with FUZZ_MINIMIZE=1 each target's work corpus is then minimized (-set_cover_merge=1) into
# fuzz/corpus/<target>/. Names of targets as arguments run only those. Crash inputs land in the
# work folder. FUZZ_FLAGS adds libFuzzer options of its own. Ends with a table: executions,
# executions a second, corpus, coverage.
#
#   FUZZ_RUNS=10000000 bash scripts/fuzz.sh fuzz_discovery
#   FUZZ_SECONDS=30 FUZZ_FLAGS="-len_control=0 -max_len=4096" bash scripts/fuzz.sh   (full-length
#                                                   inputs from the start: the speed late in a run)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$top/build-fuzz}
runs=${FUZZ_RUNS:-}
seconds=${FUZZ_SECONDS:-}
[ -n "$runs$seconds" ] || seconds=60
for value in "$runs" "$seconds"; do
    [[ -z $value || $value =~ ^[1-9][0-9]*$ ]] || {
        echo "$0: FUZZ_RUNS and FUZZ_SECONDS take a positive whole number" >&2
        exit 2
    }
done
work=${FUZZ_WORK_DIR:-$build/fuzz-work}
targets=("$@")
((${#targets[@]})) || targets=(fuzz_respond fuzz_discovery fuzz_ack fuzz_text fuzz_collect fuzz_settings_file
    fuzz_batch fuzz_plan)

bash "$top/scripts/setup-debian.sh"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTELVIQ_BUILD_GUI=OFF -DTELVIQ_BUILD_TESTS=OFF -DTELVIQ_SANITIZE=ON -DTELVIQ_FUZZ=ON \
    -DTELVIQ_WERROR=ON >/dev/null
cmake --build "$build" --target "${targets[@]}" -j "${FUZZ_JOBS:-2}"

# -max_total_time=0 is no limit.
limits=(-max_total_time="${seconds:-0}")
[ -z "$runs" ] || limits+=(-runs="$runs")
read -r -a extra <<<"${FUZZ_FLAGS:-}"
limitText="${runs:+$runs executions}${runs:+${seconds:+ or }}${seconds:+$seconds s}"

declare -A executions speed corpus coverage features outcome
failed=0
for t in "${targets[@]}"; do
    corpus=$work/$t/corpus
    rm -rf "${work:?}/$t"
    mkdir -p "$corpus"
    cp "$top/fuzz/corpus/$t/"* "$corpus/"
    echo "== $t: $limitText"
    log=$work/$t/log
    if (cd "$work/$t" && "$build/fuzz/$t" "${limits[@]}" "${extra[@]}" -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$work/$t/" "$corpus" >"$log" 2>&1); then
        outcome[$t]=ok
    else
        outcome[$t]="FAILED (see $log)"
        failed=1
        grep -E "^(==[0-9]+==ERROR|property broken|SUMMARY)|runtime error" "$log" | head -5 || true
    fi
    executions[$t]=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    speed[$t]=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    # The last status line: "#N DONE cov: C ft: F corp: FILES/SIZE ...".
    status=$(grep -E '^#[0-9]+' "$log" | tail -1)
    coverage[$t]=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$status")
    features[$t]=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$status")
    corpus[$t]=$(sed -n 's/.* corp: \([^ ]*\).*/\1/p' <<<"$status")

    if [ "${FUZZ_MINIMIZE:-0}" = 1 ] && [ "${outcome[$t]}" = ok ]; then
        minimized=$work/$t/minimized
        mkdir -p "$minimized"
        "$build/fuzz/$t" -set_cover_merge=1 -rss_limit_mb=2048 "$minimized" "$corpus" \
            >"$work/$t/merge-log" 2>&1
        rm -rf "${top:?}/fuzz/corpus/$t"
        cp -r "$minimized" "$top/fuzz/corpus/$t"
        echo "   fuzz/corpus/$t: $(ls "$minimized" | wc -l) files," \
            "$(du -sb "$minimized" | cut -f1) bytes"
    fi
done

echo
printf '%-16s %12s %9s %14s %6s %7s  %s\n' target executions exec/s 'corpus' cov ft outcome
for t in "${targets[@]}"; do
    printf '%-16s %12s %9s %14s %6s %7s  %s\n' "$t" "${executions[$t]:-?}" "${speed[$t]:-?}" \
        "${corpus[$t]:-?}" "${coverage[$t]:-?}" "${features[$t]:-?}" "${outcome[$t]}"
done
exit "$failed"
