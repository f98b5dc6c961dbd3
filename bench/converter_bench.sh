#!/usr/bin/env bash
# Times kohport on a legacy map of 128 x 128 units of 64 inputs (about a
# million weights) against converter_floor (bench/floor.cpp), the least a
# converter must do: parse every number with from_chars, format every weight
# with to_chars into one buffer, write it. Both are built here (Release) and
# timed in the same run, each several times; the minimum counts.
#
#   bench/converter_bench.sh [SIDE] [INPUTS] [REPETITIONS]
#
# Prints both times, the time per weight and the ratio kohport / floor.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
side=${1:-128}
inputs=${2:-64}
reps=${3:-7}
build="$root/build/bench-release"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=g++ \
  -DKOHPORT_BUILD_TESTS=OFF -DKOHPORT_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j 2 --target kohport converter_floor >/dev/null

# A legacy map file as the older tools wrote it: weights "%g" in 14 columns.
map="$work/map.kmap"
LC_ALL=C awk -v side="$side" -v inputs="$inputs" 'BEGIN {
  srand(12345)
  print "TITLE:  benchmark map"
  print "DESCRIPTION  random weights"
  print ""
  print "INPUTS: " inputs
  print "MAPSIZE: " side
  print ""
  print "X Y     Input Weights"
  for (x = 0; x < side; x++) for (y = 0; y < side; y++) {
    line = x " " y
    for (i = 0; i < inputs; i++) line = line sprintf("%14g", rand() * 6 - 3)
    print line "  ."
  }
}' >"$map"

# Minimum wall time in nanoseconds of `reps` runs of the command.
best() {
  local min=0 t0 t1
  for ((r = 0; r < reps; r++)); do
    t0=$(date +%s%N)
    "$@"
    t1=$(date +%s%N)
    if ((min == 0 || t1 - t0 < min)); then min=$((t1 - t0)); fi
  done
  echo "$min"
}

weights=$((side * side * inputs))
"$build/Kohonen/kohport" "$map" "$work/out.net"  # warm the page cache
"$build/bench/converter_floor" "$map" "$work/floor.txt"
floor_ns=$(best "$build/bench/converter_floor" "$map" "$work/floor.txt")
kohport_ns=$(best "$build/Kohonen/kohport" "$map" "$work/out.net")

echo "map: ${side} x ${side} units, ${inputs} inputs, ${weights} weights, $(stat -c %s "$map") bytes"
awk -v f="$floor_ns" -v k="$kohport_ns" -v w="$weights" -v r="$reps" 'BEGIN {
  printf "floor:   %8.1f ms  %6.1f ns/weight  (best of %d)\n", f / 1e6, f / w, r
  printf "kohport: %8.1f ms  %6.1f ns/weight  (best of %d)\n", k / 1e6, k / w, r
  printf "ratio kohport/floor: %.2f\n", k / f
}'
