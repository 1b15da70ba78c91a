"""`pip install --no-build-isolation .`: builds the package with CMake (the
same targets as `make build`) and installs build/pip/python/vyrhost."""

import os
import shutil
import subprocess
import sys

from setuptools import Distribution, setup
from setuptools.command.build_py import build_py

ROOT = os.path.dirname(os.path.abspath(__file__))


class CMakeBuildPy(build_py):
    def run(self):
        build = os.path.join(ROOT, "build", "pip")
        subprocess.run(["cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                        "-DKEL_BUILD_TESTS=OFF", f"-DPython3_EXECUTABLE={sys.executable}"], check=True)
        subprocess.run(["cmake", "--build", build, "--target", "vyrhost_python_files", "-j2"], check=True)
        package = os.path.join(build, "python", "vyrhost")
        if not os.path.exists(os.path.join(package, "plugins")):
            raise SystemExit("vyrhost: the package was not built (needs pybind11, Python 3 headers and NumPy)")
        shutil.copytree(package, os.path.join(self.build_lib, "vyrhost"), dirs_exist_ok=True)


class BinaryDistribution(Distribution):
    def has_ext_modules(self):
        return True


setup(packages=["vyrhost"], package_dir={"": "python"}, package_data={"vyrhost": ["*.pyi", "py.typed"]},
      cmdclass={"build_py": CMakeBuildPy}, distclass=BinaryDistribution)
