"""Builds the package glean: its Python files from python/glean, and its extension module
glean._core built by CMake from the C++ libraries of this source tree (target GleanPython),
so that the module is made exactly as in the normal build."""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, extension):
        build = Path(self.build_temp).resolve() / "cmake"
        generator = ["-G", "Ninja"] if shutil.which("ninja") else []
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), *generator,
                        "-DCMAKE_BUILD_TYPE=Release", "-DGLEAN_PYTHON=ON",
                        "-DGLEAN_BUILD_TESTS=OFF", "-DGLEAN_BUILD_BENCHMARKS=OFF",
                        "-DGLEAN_INSTALL=OFF", f"-DPython3_EXECUTABLE={sys.executable}"],
                       check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
        subprocess.run(["cmake", "--build", str(build), "--target", "GleanPython", "-j", jobs],
                       check=True)
        name = Path(self.get_ext_filename(extension.name)).name
        target = Path(self.get_ext_fullpath(extension.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(build / "python" / "glean" / name, target)


def version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(Glean VERSION (\S+)", text).group(1)


setup(version=version(), package_dir={"": "python"}, packages=["glean"],
      ext_modules=[CMakeExtension("glean._core")], cmdclass={"build_ext": CMakeBuild})
