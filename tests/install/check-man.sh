#!/usr/bin/env bash
# Renders each man page given (default: every page in man/) with groff and with man, and fails
# when either prints a warning or an error.
# Usage: tests/install/check-man.sh [page...]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
if [ $# -eq 0 ]; then
  set -- "$root"/man/*.[1-8]
fi
export LC_ALL=C.UTF-8 MANWIDTH=80
failures=0
for page in "$@"; do
  for render in "groff -ww -man -Tutf8" "man --warnings=w -l"; do
    if ! $render "$page" 2>&1 >/dev/null | { ! grep .; }; then
      echo "check-man: $render $page: warnings above" >&2
      failures=$((failures + 1))
    fi
  done
done
[ "$failures" -eq 0 ]
echo "Man pages rendered without warnings: $#"
