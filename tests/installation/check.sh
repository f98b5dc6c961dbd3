#!/usr/bin/env bash
# Builds and installs the project into a temporary prefix, then builds a tiny
# downstream program against the installed files, once through find_package
# and once through pkg-config. Usage: tests/installation/check.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

cmake -S "$root" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DKOHPORT_BUILD_TESTS=OFF >/dev/null
cmake --build "$work/build" >/dev/null
cmake --install "$work/build" >/dev/null
test -x "$prefix/bin/kohport"

cmake -S "$here" -B "$work/downstream" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/downstream" >/dev/null
"$work/downstream/downstream"

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
# shellcheck disable=SC2046
c++ -o "$work/downstream-pc" "$here/main.cpp" $(pkg-config --cflags --libs kohport)
"$work/downstream-pc"
echo "installation check passed"
