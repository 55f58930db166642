#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang (build/fuzz) and runs each for a bounded time.
#   tools/fuzz.sh [SECONDS_PER_TARGET] [TARGET...]    (default 60 s, every target)
# Each target starts from its seeds in fuzz/corpus/<target>/ (with the tokens of
# fuzz/dict/<target>.dict), copied into
# build/fuzz/corpus/<target>/, which keeps what earlier runs found (the repository's corpus
# stays as it is). A crash, sanitizer report, leak, input slower than 5 s or allocation past
# 1 GiB is a finding: its input goes to build/fuzz/findings/<target>/, the fuzzer's output to
# build/fuzz/logs/<target>.log, and the target is started again until its time is up.
# One line per target (target, executions, seconds, findings) goes to build/fuzz/summary.txt,
# replacing that target's line of an earlier run.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build/fuzz
JOBS=${JOBS:-$(nproc)}

seconds=60
if [[ $# -gt 0 && $1 =~ ^[0-9]+$ ]]; then
    seconds=$1
    shift
fi
all=()
for src in "$ROOT"/fuzz/*_fuzz.cpp; do
    all+=("$(basename "$src" .cpp)")
done
targets=("$@")
if ((${#targets[@]} == 0)); then
    targets=("${all[@]}")
fi
for t in "${targets[@]}"; do
    if [[ ! -f $ROOT/fuzz/$t.cpp ]]; then
        echo "Unknown target $t; targets: ${all[*]}" >&2
        exit 2
    fi
done

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DLUMIVANE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target "${targets[@]}"

# The targets write each input to a file: on tmpfs when there is one.
scratch=$BUILD/tmp
[[ -w /dev/shm ]] && scratch=/dev/shm/lumivane-fuzz-$$
mkdir -p "$scratch"
trap 'rm -rf "$scratch"' EXIT
export LVFUZZ_TMP=$scratch
export UBSAN_OPTIONS=print_stacktrace=1

# A target's line replaces the one of its previous run; the others stay.
summary=$BUILD/summary.txt
header=$(printf '%-20s %12s %8s %9s' target execs seconds findings)
[[ -f $summary ]] || echo "$header" >"$summary"
for t in "${targets[@]}"; do
    corpus=$BUILD/corpus/$t findings=$BUILD/findings/$t log=$BUILD/logs/$t.log
    mkdir -p "$corpus" "$findings" "$(dirname "$log")"
    cp -n "$ROOT/fuzz/corpus/$t"/* "$corpus/" 2>/dev/null || true
    dict=()
    [[ -f $ROOT/fuzz/dict/$t.dict ]] && dict=(-dict="$ROOT/fuzz/dict/$t.dict")
    : >"$log"
    execs=0 found=0 start=$SECONDS
    while ((SECONDS - start < seconds)); do
        left=$((seconds - (SECONDS - start)))
        rc=0
        "$BUILD/fuzz/$t" "$corpus" -max_total_time="$left" -timeout=5 -rss_limit_mb=1024 \
            -malloc_limit_mb=1024 -use_value_profile=1 "${dict[@]}" -print_final_stats=1 \
            -artifact_prefix="$findings/" >"$log.run" 2>&1 || rc=$?
        cat "$log.run" >>"$log"
        n=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log.run" | grep -o '[0-9]*$' || true)
        execs=$((execs + ${n:-0}))
        ((rc == 0)) && break
        artifact=$(grep -o 'Test unit written to .*' "$log.run" | tail -1 | sed 's/^Test unit written to //')
        if [[ -z $artifact ]]; then
            echo "$t: the fuzzer failed (exit status $rc) without a finding; see $log" >&2
            break
        fi
        found=$((found + 1))
        what=$(grep -m1 -E '==[0-9]+==ERROR|lvfuzz: |runtime error|SUMMARY: libFuzzer' "$log.run" || true)
        echo "$t: finding $found: ${what:-see $log} -> $artifact"
        # An input of the corpus itself fails before fuzzing starts: another run would too.
        if ! grep -q INITED "$log.run"; then
            echo "$t: an input of $corpus fails; fix it (or remove the input) first" >&2
            break
        fi
    done
    rm -f "$log.run"
    elapsed=$((SECONDS - start))
    line=$(printf '%-20s %12d %8d %9d' "$t" "$execs" "$elapsed" "$found")
    echo "$line"
    { grep -v -e "^$t " -e '^target ' "$summary" || true; echo "$line"; } | sort >"$summary.new"
    { echo "$header"; cat "$summary.new"; } >"$summary"
    rm -f "$summary.new"
done
echo "Summary: $summary; inputs of findings: $BUILD/findings/"
