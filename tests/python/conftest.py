"""What the tests of the Python package share: the source tree and the programs."""

import os
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
EXAMPLES = ROOT / "examples"
E2E = ROOT / "tests" / "e2e"


def program(variable):
    """The program that CTest names in the environment variable."""
    path = os.environ.get(variable)
    assert path, f"{variable} must name the program (CTest sets it)"
    return path


@pytest.fixture
def run_tool():
    """Runs GleanTool with the arguments; fails the test on a failed run."""
    def run(*arguments, cwd=None):
        return subprocess.run([program("GLEAN_TOOL"), *map(str, arguments)], cwd=cwd, check=True,
                              capture_output=True, text=True).stdout
    return run


def read_parameters(path):
    """The entries of a Glean parameter file: {lower-case key: value}."""
    words = Path(path).read_text().split()
    return {words[i].lower(): words[i + 2] for i in range(0, len(words) - 2, 3)}
