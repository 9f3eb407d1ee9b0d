#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz/ and runs each one in
# turn, on one core, for the given number of seconds on its seed corpus.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS defaults to 60; TARGET names come from build-fuzz/fuzzers.txt (encoded_word,
# decoder_uu, dbx_reader, ...), all of them by default. What a run finds is kept in
# build-fuzz/fuzz-corpus/TARGET/ and grows from run to run; a crashing input lands in
# build-fuzz/fuzz-artifacts/ and makes the script fail. Replay one with
#   build-fuzz/bin/fuzz_TARGET build-fuzz/fuzz-artifacts/TARGET-crash-...
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

seconds=${1:-60}
if [ $# -gt 0 ]; then
  shift
fi
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
  echo "usage: scripts/fuzz.sh [SECONDS] [TARGET...]" >&2
  exit 2
fi
jobs=${QUILLBOX_JOBS:-2}
build=build-fuzz

scripts/install-deps.sh clang libclang-rt-14-dev

echo "== Build ($build/)"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLBOX_FUZZ=ON -DQUILLBOX_BUILD_GUI=OFF -DQUILLBOX_BUILD_TESTS=OFF \
  -DQUILLBOX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target quillbox-fuzzers -j "$jobs"

mapfile -t available < "$build/fuzzers.txt"
if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=("${available[@]}")
fi
for t in "${targets[@]}"; do
  if ! printf '%s\n' "${available[@]}" | grep -qx "$t"; then
    echo "unknown target: $t (have: ${available[*]})" >&2
    exit 2
  fi
done

# The DBX seeds are mailboxes built from our messages.
seeds_dbx="$build/fuzz-seeds/dbx_reader"
rm -rf "$seeds_dbx"
"$build/bin/make_dbx_seeds" "$seeds_dbx" fuzz/corpus/mime_email/*

mkdir -p "$build/fuzz-artifacts" "$build/fuzz-logs"
failed=()
summary=()
for t in "${targets[@]}"; do
  seeds="fuzz/corpus/$t"
  if [ "$t" = dbx_reader ]; then
    seeds="$seeds_dbx"
  fi
  args=(-max_total_time="$seconds" -timeout=10 -print_final_stats=1
        -artifact_prefix="$build/fuzz-artifacts/$t-")
  if [ -f "fuzz/dict/$t.dict" ]; then
    args+=(-dict="fuzz/dict/$t.dict")
  fi
  mkdir -p "$build/fuzz-corpus/$t"
  log="$build/fuzz-logs/$t.log"
  echo "== $t: ${seconds}s"
  status=0
  "$build/bin/fuzz_$t" "${args[@]}" "$build/fuzz-corpus/$t" "$seeds" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  summary+=("$t: ${runs:-?} executions in ${seconds}s, exit $status")
  if [ "$status" -ne 0 ]; then
    failed+=("$t")
    tail -n 40 "$log" >&2
  fi
done

echo "== Summary"
printf '  %s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "Failed: ${failed[*]} (inputs in $build/fuzz-artifacts/, logs in $build/fuzz-logs/)" >&2
  exit 1
fi
