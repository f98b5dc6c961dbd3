#!/usr/bin/env bash
# Checks the man page docs/kohport.1: groff formats it without a single
# warning (-ww), and man renders it with every section a user looks for.
# Usage: tests/docs/check_man.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
page="$root/docs/kohport.1"

warnings=$(groff -ww -man -Tutf8 "$page" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
  echo "groff warns about $page:" >&2
  echo "$warnings" >&2
  exit 1
fi

err=$(mktemp)
trap 'rm -f "$err"' EXIT
rendered=$(MANWIDTH=80 man -l "$page" 2>"$err")
if [ -s "$err" ]; then
  echo "man -l $page reports:" >&2
  cat "$err" >&2
  exit 1
fi
for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" FILES EXAMPLES "SEE ALSO"; do
  if ! grep -qx "$section" <<<"$rendered"; then
    echo "man -l $page: section $section missing" >&2
    exit 1
  fi
done
echo "man page renders without warnings"
