#!/usr/bin/env bash
# Times kohport on a legacy map of 128 x 128 units of 64 inputs (about a
# million weights) against converter_floor (bench/floor.cpp), the least a
# converter must do: parse every number with from_chars, format every weight
# with to_chars into one buffer, write it. Both are built here (Release) and
# timed in the same run, each several times; the minimum counts, of wall
# time and of processor time.
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

# Runs the command `reps` times; prints the minimum wall time and the
# minimum processor time (user + system), in milliseconds. Both are given
# because a shared machine stretches wall times with waiting.
best() {
  local TIMEFORMAT='%3R %3U %3S' wall cpu min_wall='' min_cpu='' r
  for ((r = 0; r < reps; r++)); do
    read -r wall user sys < <({ time "$@" >/dev/null 2>&1; } 2>&1)
    wall=$(awk -v w="$wall" 'BEGIN { printf "%.0f", w * 1000 }')
    cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.0f", (u + s) * 1000 }')
    if [[ -z $min_wall ]] || ((wall < min_wall)); then min_wall=$wall; fi
    if [[ -z $min_cpu ]] || ((cpu < min_cpu)); then min_cpu=$cpu; fi
  done
  echo "$min_wall $min_cpu"
}

weights=$((side * side * inputs))
"$build/Kohonen/kohport" "$map" "$work/out.net"  # warm the page cache
"$build/bench/converter_floor" "$map" "$work/floor.txt"
read -r floor_wall floor_cpu < <(best "$build/bench/converter_floor" "$map" "$work/floor.txt")
read -r kohport_wall kohport_cpu < <(best "$build/Kohonen/kohport" "$map" "$work/out.net")

echo "map: ${side} x ${side} units, ${inputs} inputs, ${weights} weights, $(stat -c %s "$map") bytes"
echo "best of ${reps} runs each; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v fw="$floor_wall" -v fc="$floor_cpu" -v kw="$kohport_wall" -v kc="$kohport_cpu" \
  -v w="$weights" 'BEGIN {
  printf "floor:   wall %7.0f ms (%5.0f ns/weight)   cpu %7.0f ms (%5.0f ns/weight)\n", fw, fw * 1e6 / w, fc, fc * 1e6 / w
  printf "kohport: wall %7.0f ms (%5.0f ns/weight)   cpu %7.0f ms (%5.0f ns/weight)\n", kw, kw * 1e6 / w, kc, kc * 1e6 / w
  printf "ratio kohport/floor: wall %.2f, cpu %.2f\n", kw / fw, kc / fc
}'
