#!/usr/bin/env bash
# Builds and installs the project into a temporary prefix, then uses only the
# installed files, as another project would:
#  - every installed header compiles on its own (no installed header needs
#    one that is not installed);
#  - a tiny program and the example map_rows (from the installed example
#    source) build through find_package, and again through pkg-config; the
#    CMake package's version must be the pkg-config file's exactly;
#  - the installed kohport converts the installed iris map, and map_rows
#    prints the golden output on it.
# Usage: tests/installation/check.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

cmake -S "$root" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DKOHPORT_BUILD_TESTS=OFF -DKOHPORT_BUILD_EXAMPLES=OFF >/dev/null
cmake --build "$work/build" >/dev/null
cmake --install "$work/build" >/dev/null
test -x "$prefix/bin/kohport"
test -f "$prefix/share/man/man1/kohport.1"
docs="$prefix/share/doc/kohport"
for f in README.md CHANGELOG.md file-formats.md library-guide.md examples/map_rows.cpp; do
  test -f "$docs/$f" || { echo "not installed: $docs/$f" >&2; exit 1; }
done

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
read -r -a pc_flags <<<"$(pkg-config --cflags --libs kohport)"
version=$(pkg-config --modversion kohport)

# Each installed header alone, with the project's warnings.
count=0
while IFS= read -r header; do
  printf '#include "%s"\n' "${header#"$prefix/include/kohport/"}" >"$work/one_header.cpp"
  c++ -fsyntax-only -Wall -Wextra -Wpedantic -Werror "${pc_flags[@]}" "$work/one_header.cpp" ||
    { echo "installed header does not compile on its own: $header" >&2; exit 1; }
  count=$((count + 1))
done < <(find "$prefix/include/kohport" -name '*.h' | sort)
echo "$count installed headers compile on their own"

# The example's run on the installed files must print the golden output.
"$prefix/bin/kohport" "$docs/examples/iris_6x6.kmap" "$work/iris_6x6.net"
check_map_rows() {
  "$1" "$work/iris_6x6.net" "$docs/examples/iris_data.txt" "$docs/examples/iris_labels.txt" \
    >"$work/map_rows.out"
  cmp "$work/map_rows.out" "$root/tests/data/examples/map_rows_iris.txt"
}

cmake -S "$here" -B "$work/downstream" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DKOHPORT_EXPECTED_VERSION="$version" \
  -DKOHPORT_EXAMPLE_SOURCE="$docs/examples/map_rows.cpp" >/dev/null
cmake --build "$work/downstream" >/dev/null
"$work/downstream/downstream"
check_map_rows "$work/downstream/map_rows"

c++ -o "$work/downstream-pc" "$here/main.cpp" "${pc_flags[@]}"
"$work/downstream-pc"
c++ -o "$work/map_rows-pc" "$docs/examples/map_rows.cpp" "${pc_flags[@]}"
check_map_rows "$work/map_rows-pc"
echo "installation check passed (kohport $version)"
