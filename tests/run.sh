#!/usr/bin/env bash
# Builds the project and runs every test twice:
#   1. a Release build with g++,
#   2. a -O0 AddressSanitizer + UndefinedBehaviorSanitizer build with clang++,
#      which also builds the libFuzzer harnesses and replays/fuzzes them briefly;
# then checks the man page (groff -ww, man -l) and installs into a temporary
# prefix to build downstream programs against the installed package.
# Warnings are errors in both. Build trees go to build/gcc and build/asan.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

echo "== g++ Release build"
cmake -S "$root" -B "$root/build/gcc" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_COMPILER=g++ -DKOHPORT_WERROR=ON -DKOHPORT_BUILD_BENCH=ON
cmake --build "$root/build/gcc" -j "$jobs"
ctest --test-dir "$root/build/gcc" --output-on-failure -j "$jobs"

echo "== clang++ ASan+UBSan build"
cmake -S "$root" -B "$root/build/asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DKOHPORT_WERROR=ON -DKOHPORT_SANITIZE=ON \
  -DKOHPORT_BUILD_FUZZ=ON
cmake --build "$root/build/asan" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir "$root/build/asan" --output-on-failure -j "$jobs"

echo "== man page"
"$root/tests/docs/check_man.sh"

echo "== install and downstream builds"
"$root/tests/installation/check.sh"
