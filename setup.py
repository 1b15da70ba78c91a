"""`pip install --no-build-isolation .`: builds the package with CMake (the
same targets as `make build`) and installs build/pip/python/vyrhost.

Everything the build writes goes under one folder: build/pip/ of the project,
or the folder named by the environment variable VYRHOST_BUILD_DIR (an
absolute path), so that the source tree stays as it is: CMake's build,
setuptools' staging folders and the package metadata (egg-info)."""

import os
import shutil
import subprocess
import sys

from setuptools import Distribution, setup
from setuptools.command.build_py import build_py

ROOT = os.path.dirname(os.path.abspath(__file__))
BUILD = os.environ.get("VYRHOST_BUILD_DIR") or os.path.join(ROOT, "build", "pip")


class CMakeBuildPy(build_py):
    def run(self):
        subprocess.run(["cmake", "-S", ROOT, "-B", BUILD, "-DCMAKE_BUILD_TYPE=Release",
                        "-DKEL_BUILD_TESTS=OFF", f"-DPython3_EXECUTABLE={sys.executable}"], check=True)
        subprocess.run(["cmake", "--build", BUILD, "--target", "vyrhost_python_files", "-j2"], check=True)
        package = os.path.join(BUILD, "python", "vyrhost")
        if not os.path.exists(os.path.join(package, "plugins")):
            raise SystemExit("vyrhost: the package was not built (needs pybind11, Python 3 headers and NumPy)")
        shutil.copytree(package, os.path.join(self.build_lib, "vyrhost"), dirs_exist_ok=True)


class BinaryDistribution(Distribution):
    def has_ext_modules(self):
        return True


# setuptools' folders (build/lib..., build/bdist...) and the egg-info, which
# it would otherwise put in the source tree, live under BUILD too. egg_base
# must be relative to the project folder.
SETUPTOOLS = os.path.join(BUILD, "setuptools")
os.makedirs(SETUPTOOLS, exist_ok=True)
setup(packages=["vyrhost"], package_dir={"": "python"}, package_data={"vyrhost": ["*.pyi", "py.typed"]},
      cmdclass={"build_py": CMakeBuildPy}, distclass=BinaryDistribution,
      options={"build": {"build_base": SETUPTOOLS},
               "egg_info": {"egg_base": os.path.relpath(SETUPTOOLS, ROOT)}})
