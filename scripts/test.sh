#!/usr/bin/env bash
# The whole test run: installs what the build needs, builds everything, runs every test,
# then builds the core and CLI again with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs their tests once more. Any failure or sanitizer report fails the run.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

jobs=${QUILLBOX_JOBS:-2}

scripts/install-deps.sh

echo "== Build (build/)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLBOX_BUILD_GUI=ON
cmake --build build -j "$jobs"

echo "== Tests"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== Build with sanitizers (build-sanitize/)"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUILLBOX_SANITIZE=ON \
  -DQUILLBOX_BUILD_GUI=OFF -DQUILLBOX_BUILD_BENCH=OFF
cmake --build build-sanitize -j "$jobs"

echo "== Tests with sanitizers"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-sanitize --output-on-failure -j "$jobs" -L 'core|cli'
