#!/usr/bin/env bash
# Installs the Python package glean with pip from a copy of the source tree, offline and without
# build isolation, into a new virtual environment that sees Debian's numpy and scikit-learn
# (Debian's own interpreter refuses pip installs outside one), then uses the installed package:
# the bundled example's rules come out as the example's rule file, and a classifier fits Iris.
# Usage: tests/install/pip-install.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/source"
tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -C "$work/source" -xf -
/usr/bin/python3 -m venv --system-site-packages "$work/venv"
"$work/venv/bin/python" -m pip install --no-build-isolation --no-index --quiet "$work/source"

cd "$work"
"$work/venv/bin/python" - "$root" <<'PYTHON'
import sys
from pathlib import Path

import glean
from sklearn.datasets import load_iris

root = Path(sys.argv[1])
assert Path(glean.__file__).is_relative_to(Path(sys.prefix)), glean.__file__
fan = root / "examples" / "fan"
glean.extract(fan / "fan.wts", fan / "fan.lbl", 0.5, 0.5).save("fan.rul")
assert Path("fan.rul").read_bytes() == (fan / "fan.rul").read_bytes()
iris = load_iris()
score = glean.FuzzyRuleClassifier().fit(iris.data, iris.target).score(iris.data, iris.target)
assert score > 0.9, score
print(f"pip-installed glean in {sys.prefix}: the example's rules, Iris training accuracy "
      f"{score:.2f}: passed")
PYTHON
