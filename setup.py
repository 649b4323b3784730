"""Builds the korvath package's compiled module with the project's CMake build, so that pip
builds exactly what `make` builds. The version is the CMake project's."""

import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(Korvath VERSION ([0-9.]+)", text).group(1)


class CMakeBuild(build_ext):
    """Configures the project without its tests and builds the package target alone."""

    def build_extension(self, extension):
        build = Path(self.build_temp).resolve() / "cmake"
        subprocess.run(["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                        "-DKORVATH_TESTS=OFF", "-DKORVATH_BENCH=OFF",
                        f"-DPython_EXECUTABLE={sys.executable}"], check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 1))
        subprocess.run(["cmake", "--build", str(build), "--target", "korvath_python_package",
                        "-j", jobs], check=True)
        package = build / "python" / "korvath"
        target = Path(self.get_ext_fullpath(extension.name)).parent
        target.mkdir(parents=True, exist_ok=True)
        shutil.copy2(next(package.glob("_korvath*.so")), self.get_ext_fullpath(extension.name))
        shutil.copy2(package / "__init__.pyi", target / "__init__.pyi")


setup(version=project_version(),
      ext_modules=[Extension("korvath._korvath", sources=[])],
      package_data={"korvath": ["py.typed"]},
      cmdclass={"build_ext": CMakeBuild})
