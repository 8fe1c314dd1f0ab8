"""Builds the sigmat Python package with the project's own CMake: the extension sigmat._sigmat
alone (no Qt, no command line, no tests), for the interpreter that runs this build, and puts it
beside the package's Python files. Offline in a virtual environment that sees Debian's numpy
and pybind11:

    /usr/bin/python3 -m venv --system-site-packages env
    env/bin/pip install --no-build-isolation .
"""
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE = Path(__file__).resolve().parent


def project_version():
    """The version of the CMake project, which the programs report too."""
    text = (SOURCE / "CMakeLists.txt").read_text(encoding="utf-8")
    found = re.search(r"project\(sigmat VERSION ([0-9.]+)", text)
    if not found:
        raise RuntimeError("CMakeLists.txt names no version of the project")
    return found.group(1)


class CMakeBuild(build_ext):
    """Configures the project for the extension alone and builds it into the package."""

    def build_extension(self, ext):
        target = Path(self.get_ext_fullpath(ext.name)).resolve()
        build = Path(self.build_temp).resolve() / "cmake"
        build.mkdir(parents=True, exist_ok=True)
        configure = [
            "cmake", "-S", str(SOURCE), "-B", str(build),
            # The programs' optimisation (the presets build -O2): the same rounding as
            # sigmat-cli's, digit for digit.
            "-DCMAKE_BUILD_TYPE=Release", "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG",
            "-DSIGMAT_WITH_QT=OFF", "-DSIGMAT_BENCH=OFF", "-DBUILD_TESTING=OFF",
            "-DSIGMAT_PYTHON=ON",
            f"-DPython_EXECUTABLE={sys.executable}",
        ]
        try:
            import pybind11
            configure.append(f"-Dpybind11_DIR={pybind11.get_cmake_dir()}")
        except ImportError:
            pass  # CMake's own search (Debian's pybind11-dev)
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        subprocess.run(configure, check=True)
        jobs = os.environ.get("SIGMAT_JOBS", "2")
        # Only the extension and the libraries it links: the programs are not built.
        subprocess.run(["cmake", "--build", str(build), "--target", "sigmat_python", "-j", jobs],
                       check=True)
        built = next((build / "python" / "sigmat").glob("_sigmat*"))
        target.parent.mkdir(parents=True, exist_ok=True)
        self.copy_file(str(built), str(target))


setup(
    version=project_version(),
    ext_modules=[Extension("sigmat._sigmat", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    # The tree's build/ is CMake's default build folder: setuptools works beside it.
    options={"build": {"build_base": "build-python"}},
)
