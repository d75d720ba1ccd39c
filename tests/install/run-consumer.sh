#!/usr/bin/env bash
# Installs Glean from a build tree into a temporary prefix, then configures, builds and runs the
# consumer project tests/consumer against that prefix, as another project would use Glean: it
# extracts the rules of the installed copy of the bundled example, which must come out as the
# example's rule file in the sources. The installed program must do the same.
# Usage: tests/install/run-consumer.sh [build-dir]    (default: build/default, brought up to date)
#        tests/install/run-consumer.sh --prefix DIR   (Glean already installed in DIR)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "${1:-}" = --prefix ]; then
  prefix=$(cd "$2" && pwd)
else
  build=$(cd "${1:-$root/build/default}" && pwd)
  prefix=$work/prefix
  cmake --build "$build"
  cmake --install "$build" --prefix "$prefix" >/dev/null
fi

cmake -S "$root/tests/consumer" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
# The package found must be the one just installed, not one from elsewhere on the system.
grep -qx "Glean_DIR:PATH=$prefix/lib/cmake/Glean" "$work/build/CMakeCache.txt"
cmake --build "$work/build"

example=$prefix/share/doc/glean/examples/fan
expected=$root/examples/fan/fan.rul
"$work/build/GleanConsumer" "$example/fan.par" >"$work/consumer.rul"
diff -u "$expected" "$work/consumer.rul"

# The installed program reports its usage, and extracts the example's rules.
status=0
"$prefix/bin/Glean" 2>"$work/usage.txt" || status=$?
if [ "$status" -ne 1 ] || [ "$(cat "$work/usage.txt")" != "Usage: Glean parameter.file" ]; then
  echo "The installed Glean did not report its usage (exit code $status)" >&2
  exit 1
fi
mkdir "$work/run"
cp "$example/fan.par" "$example/fan.wts" "$example/fan.lbl" "$work/run"
(cd "$work/run" && "$prefix/bin/Glean" fan.par)
diff -u "$expected" "$work/run/fan.rul"
test -f "$prefix/share/man/man1/Glean.1"

echo "Consumer of Glean installed in $prefix: passed"
