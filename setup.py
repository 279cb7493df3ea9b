"""The Python module plantscan, built by the project's own CMake.

CMake compiles the module with the programs' compiler flags (no fused multiply-adds, no fast
math), so it gives their numbers to the last bit. Needs cmake, g++, libopencv-dev, python3-dev
and pybind11-dev (Debian packages).
"""
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
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(\w+ VERSION ([0-9.]+)", text).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = Path(self.build_temp).resolve() / "cmake"
        subprocess.run(
            ["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
             "-DPLANT_BUILD_TESTS=OFF", "-DPLANT_BUILD_BENCH=OFF", "-DPLANT_REQUIRE_PYTHON=ON",
             f"-DPython_EXECUTABLE={sys.executable}"],
            check=True)
        subprocess.run(
            ["cmake", "--build", str(build), "--target", "plantscan_python",
             "-j", str(os.cpu_count() or 1)],
            check=True)
        built = next((build / "python").glob("plantscan.*.so"))
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


os.makedirs(ROOT / "build-python", exist_ok=True)
setup(
    name="plantscan",
    version=project_version(),
    description="Measurements of cane sections and leaflets on flat-bed scans",
    license="Apache-2.0",
    license_files=["LICENSE"],
    classifiers=["License :: OSI Approved :: Apache Software License"],
    python_requires=">=3.9",
    install_requires=["numpy"],
    ext_modules=[Extension("plantscan", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
