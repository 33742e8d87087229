#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz": clang, ASan, UBSan) and runs
# each one for a fixed number of inputs: scripts/fuzz.sh [runs] (default
# 100000). The seeds come from examples/ and tests/data/; what a run learns
# goes to build/fuzz/corpus/<target>, a crashing input to
# build/fuzz/artifacts/. Stops at the first crash with the fuzzer's log.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-100000}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
bin=build/fuzz/tests/fuzz
work=build/fuzz
mkdir -p "$work/artifacts"

run_target() {
  local target="$1"
  shift
  local corpus="$work/corpus/$target"
  mkdir -p "$corpus"
  # libFuzzer reads seeds from directories only: loose seed files are copied.
  local seeds=()
  for seed in "$@"; do
    if [[ -d "$seed" ]]; then seeds+=("$seed"); else cp "$seed" "$corpus/"; fi
  done
  local log="$work/${target}_fuzzer.log"
  local status=0
  echo "== ${target}_fuzzer: $runs runs"
  "$bin/${target}_fuzzer" -runs="$runs" -max_len=4096 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/${target}-" "$corpus" "${seeds[@]}" >"$log" 2>&1 ||
    status=$?
  grep -E "^Done|broken:|==[0-9]+==ERROR|SUMMARY|runtime error|Test unit written" "$log" || true
  if [[ $status -ne 0 ]]; then
    echo "${target}_fuzzer failed (status $status), log: $log"
    exit 1
  fi
}

run_target ini examples/vintok.ini tests/data/ini
run_target fob examples tests/data/fobs
run_target evaluation tests/data/fobs
