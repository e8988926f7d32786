"""Builds the axgenetic Python package: CMake builds the compiled module from the library's
sources one folder up, setuptools packages it with the Python files.

    pip install --no-build-isolation ./python
"""

import os
import pathlib
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE = pathlib.Path(__file__).resolve().parent.parent


class CMakeBuild(build_ext):
    """Configures the library with the Python package on and builds the module alone."""

    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        configure = [
            "cmake", "-S", str(SOURCE), "-B", str(build),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DAXGENETIC_BUILD_PYTHON=ON",
            "-DAXGENETIC_BUILD_TESTS=OFF",
            "-DAXGENETIC_BUILD_EXAMPLES=OFF",
            f"-DPython_EXECUTABLE={sys.executable}",
        ]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        if shutil.which("ccache"):
            configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"]
        subprocess.check_call(configure)
        subprocess.check_call(["cmake", "--build", str(build), "--target", "_axgenetic",
                               "-j", str(os.cpu_count() or 1)])
        built = next((build / "python" / "axgenetic").glob("_axgenetic*"))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(built, target)


setup(
    name="axgenetic",
    version="0.1.0",
    description="Genetic algorithms and symbolic regression (scikit-learn estimator) "
                "from the axgenetic C++ library",
    packages=["axgenetic"],
    package_data={"axgenetic": ["*.pyi", "py.typed"]},
    ext_modules=[Extension("axgenetic._axgenetic", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    python_requires=">=3.9",
    install_requires=["numpy", "scikit-learn"],
    zip_safe=False,
)
