"""The package as a Python user meets it: help() text on every public name, stubs that match
the extension, the example and the tutorial's code passing mypy, and the tutorial running."""
import json
import os
import re
import site
import subprocess
import sys
from pathlib import Path

import pytest

import sigmat

SOURCE = Path(__file__).resolve().parents[2]
PACKAGE_PARENT = Path(sigmat.__file__).resolve().parent.parent


def public_names():
    for name in sigmat.__all__:
        if name == "__version__":
            continue
        obj = getattr(sigmat, name)
        yield name, obj
        if isinstance(obj, type) and not issubclass(obj, BaseException):
            for attr in vars(obj):
                if not attr.startswith("_"):
                    yield f"{name}.{attr}", vars(obj)[attr]


# pybind11 starts a docstring with the signature: "name(arg: type, ...) -> type".
SIGNATURE = re.compile(r"^\s*[\w.]+\(.*\)(\s*->\s*\S.*)?$")


@pytest.mark.parametrize("name,obj", list(public_names()), ids=lambda v: v if isinstance(v, str)
                         else "")
def test_every_public_name_says_more_than_its_signature(name, obj):
    text = [line for line in (obj.__doc__ or "").splitlines() if not SIGNATURE.match(line)]
    assert len(" ".join(text).split()) >= 8, f"{name}: {obj.__doc__!r}"


def mypy_environment():
    """Where mypy finds the package: in site-packages by itself, elsewhere (a build folder) through
    MYPYPATH, which must not name site-packages."""
    env = dict(os.environ)
    if str(PACKAGE_PARENT) not in site.getsitepackages():
        env["MYPYPATH"] = str(PACKAGE_PARENT)
    return env


def test_the_stubs_are_the_extensions(tmp_path):
    done = subprocess.run(
        [sys.executable, "-m", "mypy.stubtest", "--allowlist",
         str(SOURCE / "python" / "stubtest-allowlist.txt"), "sigmat"],
        cwd=tmp_path, env=mypy_environment(), capture_output=True, text=True)
    assert done.returncode == 0, done.stdout + done.stderr


def tutorial():
    import nbformat
    return nbformat.read(SOURCE / "docs" / "tutorial.ipynb", as_version=4)


# mypy and a Jupyter kernel under the sanitizers' preloaded runtime check nothing of the
# extension's memory that the other tests do not, and take minutes.
unsanitized = pytest.mark.skipif(bool(os.environ.get("SIGMAT_SANITIZED")),
                                 reason="typing and the tutorial are checked in the plain build")


@unsanitized
def test_the_example_and_the_tutorial_type_check(tmp_path):
    cells = tmp_path / "tutorial_cells.py"
    cells.write_text("\n\n".join(c.source for c in tutorial().cells if c.cell_type == "code"))
    done = subprocess.run(
        [sys.executable, "-m", "mypy", "--config-file", str(SOURCE / "pyproject.toml"),
         "--cache-dir", str(tmp_path / "cache"), str(SOURCE / "docs" / "example.py"), str(cells)],
        cwd=tmp_path, env=mypy_environment(), capture_output=True, text=True)
    assert done.returncode == 0, done.stdout + done.stderr


@unsanitized
def test_the_tutorial_runs(tmp_path, monkeypatch):
    from nbclient import NotebookClient
    notebook = tutorial()
    assert all(not c.get("outputs") for c in notebook.cells if c.cell_type == "code"), \
        "the tutorial is kept without outputs"
    # A kernel of this interpreter (the python3 on PATH may be another one, without numpy).
    kernel = tmp_path / "kernels" / "sigmat-test"
    kernel.mkdir(parents=True)
    (kernel / "kernel.json").write_text(json.dumps({
        "argv": [sys.executable, "-m", "ipykernel_launcher", "-f", "{connection_file}"],
        "display_name": "sigmat test", "language": "python"}))
    monkeypatch.setenv("JUPYTER_PATH", str(tmp_path))
    monkeypatch.setenv("MPLBACKEND", "Agg")
    client = NotebookClient(notebook, timeout=300, kernel_name="sigmat-test",
                            resources={"metadata": {"path": str(tmp_path)}})
    client.execute()  # raises CellExecutionError on the first cell that fails
    printed = "".join(o.get("text", "") for c in notebook.cells for o in c.get("outputs", []))
    assert "a flat curve comes out ×1.88" in printed and "A = " in printed
