#!/usr/bin/env bash
# Installs Glean from a build tree into a temporary prefix, then configures, builds and runs the
# consumer project tests/consumer against that prefix, as another project would use Glean: it
# extracts the rules of the installed copy of the bundled example, which must come out as the
# example's rule file in the sources. The installed program must do the same, and the installed
# GleanTool must export and measure those rules as its test cases expect. Where the Python
# package is installed (always, for a build with GLEAN_PYTHON), it must lie in the folder that
# Debian's python3 searches for the prefix, and extract the same rules.
# Usage: tests/install/run-consumer.sh [build-dir]    (default: build/default, brought up to date)
#        tests/install/run-consumer.sh --prefix DIR   (Glean already installed in DIR)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python_expected=no
if [ "${1:-}" = --prefix ]; then
  prefix=$(cd "$2" && pwd)
else
  build=$(cd "${1:-$root/build/default}" && pwd)
  prefix=$work/prefix
  cmake --build "$build"
  cmake --install "$build" --prefix "$prefix" >/dev/null
  grep -qx "GLEAN_PYTHON:BOOL=ON" "$build/CMakeCache.txt" && python_expected=yes
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

# The installed companion program: its usage with the documented exit codes, then the example's
# rules as a fuzzylite engine and their fidelity report, as the sources' test cases expect them.
cases=$root/tests/GleanTool/cases
"$prefix/bin/GleanTool" --help >"$work/tool-help.txt"
if [ "$(head -n 1 "$work/tool-help.txt")" != "Usage: GleanTool COMMAND ARGUMENTS..." ]; then
  echo "The installed GleanTool --help did not print its usage" >&2
  exit 1
fi
status=0
"$prefix/bin/GleanTool" 2>"$work/tool-usage.txt" || status=$?
if [ "$status" -ne 2 ]; then
  echo "The installed GleanTool without a command exited with $status, not 2" >&2
  exit 1
fi
diff -u "$cases/usage_no_command/expected.stderr" "$work/tool-usage.txt"
(cd "$work/run" && "$prefix/bin/GleanTool" export fan.rul fan.fll)
diff -u "$cases/export_example_fll/expected/fan.fll" "$work/run/fan.fll"
(cd "$work/run" && "$prefix/bin/GleanTool" fidelity fan.wts fan.rul --grid 21) >"$work/fidelity.txt"
diff -u "$cases/fidelity_example_singletons_minimum/expected.stdout" "$work/fidelity.txt"
test -f "$prefix/share/man/man1/GleanTool.1"

# The installed Python package: in the folder python3 searches below /usr/local and /usr alike
# (lib/python3.X/dist-packages on Debian), where it extracts the example's rules.
package=$(find "$prefix" -path '*-packages/glean/__init__.py' -printf '%h\n' | head -n 1)
if [ -n "$package" ]; then
  folder=${package%/glean}
  /usr/bin/python3 - "${folder#"$prefix"/}" <<'PYTHON'
import sys
searched = [f"/usr/local/{sys.argv[1]}", f"/usr/{sys.argv[1]}"]
if not set(searched) & set(sys.path):
    sys.exit(f"python3 does not search {searched[0]} or {searched[1]}")
PYTHON
  (cd "$work/run" && PYTHONPATH=$folder /usr/bin/python3 -c '
import glean, sys
assert glean.__file__.startswith(sys.argv[1]), glean.__file__
glean.extract("fan.wts", "fan.lbl", 0.5, 0.5).save("python.rul")' "$folder")
  diff -u "$expected" "$work/run/python.rul"
elif [ "$python_expected" = yes ]; then
  echo "The Python package glean was not installed in $prefix" >&2
  exit 1
fi

echo "Consumer of Glean installed in $prefix: passed"
