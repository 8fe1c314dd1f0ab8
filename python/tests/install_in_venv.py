#!/usr/bin/env python3
"""The package as a new user installs it: a fresh virtual environment on Debian's interpreter
that sees the system's numpy and pybind11, `pip install --no-build-isolation` of a copy of the
source tree (offline: pip may take nothing from an index), the whole suite run by that
environment's interpreter from a folder outside the tree, and `pip wheel`, whose files are
listed.

    install_in_venv.py SOURCE_DIR WORK_DIR

SIGMAT_CLI and SIGMAT_DEMO_DB name the build's programs, as for the suite itself.
"""
import os
import shutil
import subprocess
import sys
import zipfile
from pathlib import Path


def run(*command, **options):
    print("$", " ".join(str(c) for c in command), flush=True)
    subprocess.run([str(c) for c in command], check=True, **options)


def main():
    source, work = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    # A copy of the tree without its build folders: pip builds in place, and what it leaves
    # (build-python/, the egg-info) stays out of the developer's tree.
    tree = work / "source"
    shutil.copytree(source, tree, symlinks=True,
                    ignore=shutil.ignore_patterns(".git", "build*", "*.egg-info", "__pycache__"))
    venv = work / "venv"
    run("/usr/bin/python3", "-m", "venv", "--system-site-packages", venv)
    python = venv / "bin" / "python"
    env = dict(os.environ, PIP_NO_INDEX="1", PIP_DISABLE_PIP_VERSION_CHECK="1",
               CCACHE_BASEDIR=str(tree))
    env.pop("PYTHONPATH", None)
    run(python, "-m", "pip", "install", "--no-build-isolation", ".", cwd=tree, env=env)

    outside = work / "elsewhere"
    outside.mkdir()
    found = subprocess.run([python, "-c", "import sigmat; print(sigmat.__file__)"], cwd=outside,
                           env=env, check=True, capture_output=True, text=True).stdout.strip()
    if not found.startswith(str(venv)):
        sys.exit(f"sigmat was imported from {found}, not from the environment")
    run(python, "-m", "pytest", "-q", "-rs", "-p", "no:cacheprovider", tree / "python" / "tests",
        cwd=outside, env=env)

    wheels = work / "wheels"
    run(python, "-m", "pip", "wheel", "--no-build-isolation", "--no-deps", "-w", wheels, ".",
        cwd=tree, env=env)
    for wheel in sorted(wheels.glob("sigmat-*.whl")):
        print(f"== {wheel.name}")
        with zipfile.ZipFile(wheel) as archive:
            for info in archive.infolist():
                print(f"{info.file_size:>10}  {info.filename}")
        return
    sys.exit("pip wheel made no wheel of sigmat")


if __name__ == "__main__":
    main()
