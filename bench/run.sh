#!/usr/bin/env bash
# Runs every benchmark program built from bench/*.cpp. Usage: bench/run.sh BUILD_DIR [NAME...]
set -euo pipefail
build=${1:?build dir}
shift
names=("$@")
if ((${#names[@]} == 0)); then
    for src in "$(dirname "$0")"/*.cpp; do
        names+=("$(basename "$src" .cpp)")
    done
fi
for name in "${names[@]}"; do
    echo "== $name"
    "$build/bench/$name"
done
