"""The sigmat Python module against sigmat-cli on a real database, its fold against a plain
numpy implementation of the same sum, its errors, its read-only views, and what a hostile
caller hands it (the tests named after the faults they pin)."""
import json
import os
import pathlib
import shutil
import subprocess
import sys
import textwrap
import threading

import numpy as np
import pytest

import sigmat

from conftest import cli, cli_json


def test_molecules_and_states_are_the_catalogues(db, db_path):
    rows = [line.split("\t") for line in cli(db_path, "states").splitlines()[1:]]
    assert db.molecules() == list(dict.fromkeys(r[0] for r in rows))
    for molecule in db.molecules():
        expected = [(r[0], int(r[1]), int(r[2])) for r in rows if r[0] == molecule]
        assert db.states(molecule) == expected
        assert db.states(molecule.lower()) == expected


@pytest.mark.parametrize("selector,fwhm,units", [
    ("HCl:dea:v=1,J=3", None, "A2"),
    ("HCl:dea:v=1,J=3", 50, "cm2"),
    ("hcl:DEA:v=0,J=0,fwhm=20", None, "A2"),
    ("HBr:ve:v=0,J=2,vf=1", 30, "m2"),
    ("HBr:ve:v=1,J=2,vf=1", None, "A2"),
    ("DI:aed:vf=2,J=5", None, "A2"),
    ("DF:aedtot", 25, "A2"),
    ("DCl:thermal:tv=1000,tj=300", 40, "A2"),
])
def test_curves_are_the_command_lines(db, db_path, selector, fwhm, units):
    curve = db.curve(selector, fwhm=fwhm, units=units)
    cli_selector = selector if fwhm is None else selector + ",fwhm=" + str(fwhm)
    expected = cli_json(db_path, "curve", cli_selector, "--units", units)
    np.testing.assert_array_equal(curve.energy, expected["energy"] if "energy" in expected
                                  else expected["E_eV"])
    np.testing.assert_array_equal(curve.sigma, expected["columns"][0]["values"])
    assert curve.units == units
    assert curve.provenance["database"] == db_path
    assert curve.provenance["fwhm_meV"] == (fwhm if fwhm is not None else
                                            (20 if "fwhm=20" in selector else None))


def test_thermal_scan_is_the_command_lines(db, db_path):
    scan = db.thermal("DCl", [300, 1500], [100, 300], fwhm=20)
    expected = cli_json(db_path, "thermal", "DCl", "--tv", "300,1500", "--tj", "100,300",
                        "--fwhm", "20")
    assert scan.sigma.shape == (len(scan.energy), 4)
    assert [c["name"] for c in expected["columns"]] == [
        "sigma_A2_Tv300_TJ100", "sigma_A2_Tv300_TJ300", "sigma_A2_Tv1500_TJ100",
        "sigma_A2_Tv1500_TJ300"]
    for column, exp in enumerate(expected["columns"]):
        np.testing.assert_array_equal(scan.sigma[:, column], exp["values"])
    # Each pair alone is the same column; scalars give a 1-D curve.
    single = db.thermal("DCl", 1500, 100, fwhm=20)
    assert single.sigma.ndim == 1
    np.testing.assert_array_equal(single.sigma, scan.sigma[:, 2])
    provenance = scan.provenance
    assert provenance["temperatures"] == [(300, 100), (300, 300), (1500, 100), (1500, 300)]
    assert provenance["states"][0]["v"] == 0 and provenance["states"][0]["J"] == 0
    assert len(provenance["coverage"]) == 4
    assert 0.0 <= provenance["coverage"][0]["share_not_held"] < 0.01
    hot = db.thermal("DI", 3000, 3000).provenance["coverage"][0]
    assert hot["below_99_percent"]


def test_rates_are_the_command_lines(db, db_path):
    temperatures = [300.0, 1000.0, 3000.0]
    for selector in ["HCl:dea:v=2,J=0", "HCl:thermal:tv=1000,tj=300", "HCl:aedtot"]:
        curve = db.curve(selector)
        expected = cli_json(db_path, "rate", selector, "--t", "300,1000,3000")
        np.testing.assert_array_equal(sigmat.rate(curve, T=temperatures),
                                      expected["columns"][0]["values"])
    # Units of the curve are respected; arrays are taken in A^2 with the electron's mass.
    in_a2 = db.curve("HCl:dea:v=2,J=0")
    in_m2 = db.curve("HCl:dea:v=2,J=0", units="m2")
    assert sigmat.rate(in_m2, T=1000) == pytest.approx(sigmat.rate(in_a2, T=1000), rel=1e-15)
    assert isinstance(sigmat.rate(in_a2, T=1000), float)
    assert sigmat.rate(in_a2.energy, in_a2.sigma, T=1000) == sigmat.rate(in_a2, T=1000)
    # A constant 1 A^2 on a 1 meV grid to 4 eV: the mean speed times the cross section.
    energy = np.arange(1, 4001) * 0.001
    assert sigmat.rate(energy, np.ones_like(energy), T=300) == pytest.approx(1.0760e-9, rel=1e-3)
    heavy = sigmat.rate(energy, np.ones_like(energy), T=300, mass=1.0)
    assert heavy == pytest.approx(1.0760e-9 * np.sqrt(sigmat_electron_mass() / 1.0), rel=1e-3)


def sigmat_electron_mass():
    return 5.48579909065e-4


def test_lxcat_is_the_command_lines(db, db_path):
    for selector in ["HCl:dea:v=1,J=2,fwhm=50", "HCl:ve:v=0,J=2,vf=2"]:
        assert sigmat.to_lxcat(db.curve(selector)) == cli(db_path, "curve", selector, "--format", "lxcat")
    for selector in ["HCl:aedtot", "HCl:aed:vf=0,J=2", "HCl:ve:v=1,J=2,vf=1"]:
        with pytest.raises(ValueError, match="LXCat has no keyword"):
            sigmat.to_lxcat(db.curve(selector))


def plain_fold(energy, sigma, fwhm_mev):
    """The fold written out: a Gaussian at every pair of points, trapezoids of the last
    interval's width, 100 steps past the last point at its value, nothing below the first."""
    w = fwhm_mev * 0.001
    s = (w * 0.5) / (np.sqrt(np.log(2.0)) * np.sqrt(2.0))
    a = 1.0 / (np.sqrt(2.0 * np.pi) * s)
    c = 0.5 / s ** 2
    n = len(energy)
    h = energy[-1] - energy[-2]
    tail = energy[-1] + h * np.arange(1, 101)
    out = np.empty(n)
    for k in range(n):
        x = energy[k]
        kt = a * np.exp(-((energy - x) ** 2) * c)
        kx = a * np.exp(-((tail - x) ** 2) * c)
        inner = np.sum((sigma[:-1] * kt[:-1] + sigma[1:] * kt[1:]) * h * 0.5)
        ks = np.concatenate(([kt[-1]], kx))
        out[k] = inner + np.sum((ks[:-1] + ks[1:]) * (h * sigma[-1]) * 0.5)
    out[out < 1e-30] = 0.0
    return out


def test_fold_is_the_plain_sum_on_random_uniform_grids():
    rng = np.random.default_rng(7)
    for _ in range(12):
        n = int(rng.integers(2, 2000))
        step = float(rng.choice([0.001, 0.002, 0.005, 0.01]))
        start = float(rng.uniform(0.0, 2.0))
        energy = start + step * np.arange(n)
        sigma = rng.uniform(0.0, 1.0, n) * np.exp(-rng.uniform(0, 5) * np.arange(n) / n)
        fwhm = float(rng.uniform(1.0, 300.0))
        folded = sigmat.fold(energy, sigma, fwhm)
        expected = plain_fold(energy, sigma, fwhm)
        where = expected > 1e-12 * expected.max()
        np.testing.assert_allclose(folded[where], expected[where], rtol=1e-10)
        assert np.all(folded[~where] <= 1e-12 * expected.max() * 1.0001)


def test_fold_refuses_what_it_cannot_fold():
    energy = np.arange(1, 101) * 0.01
    with pytest.raises(ValueError, match="not uniform"):
        sigmat.fold(np.concatenate((energy[:50], energy[50:] + 0.001)), np.ones(100), 10)
    with pytest.raises(ValueError):
        sigmat.fold(energy, np.ones(100), 0.0)
    with pytest.raises(ValueError):
        sigmat.fold(energy, np.ones(99), 10)
    # Steps that differ by 1e-5 of the step are not one grid; by less than 1e-6 they are.
    with pytest.raises(ValueError, match="not uniform"):
        sigmat.fold(np.concatenate((energy[:50], energy[50:] + 1e-7)), np.ones(100), 10)
    wobbly = energy + 1e-9 * np.sin(np.arange(100))
    assert sigmat.fold(wobbly, np.ones(100), 10).shape == (100,)


def test_errors(db, db_path):
    with pytest.raises(sigmat.DataError) as missing:
        db.curve("HCl:dea:v=0,J=77")
    assert isinstance(missing.value, RuntimeError)
    assert missing.value.path.endswith("DA00J77.dat")
    assert missing.value.line == 0
    for bad in ["HCl:dea:v=0", "HCl:nope:v=0,J=0", "HCl:dea:v=0,J=0,fwhm=0"]:
        with pytest.raises(ValueError):
            db.curve(bad)
    with pytest.raises(ValueError, match="both"):
        db.curve("HCl:dea:v=0,J=0,fwhm=5", fwhm=5)
    with pytest.raises(ValueError):
        db.curve("HCl:dea:v=0,J=0", units="barn")
    with pytest.raises(ValueError):
        db.thermal("HCl", 300.5, 300)
    with pytest.raises(ValueError):
        sigmat.Database(os.path.join(db_path, "no-such-folder"))
    with pytest.raises(sigmat.DataError):
        db.thermal("XY", 300, 300)


def test_views_are_read_only(db):
    curve = db.curve("HCl:dea:v=1,J=3", fwhm=50)
    for array in (curve.energy, curve.sigma):
        assert not array.flags["OWNDATA"]
        assert not array.flags["WRITEABLE"]
        assert array.dtype == np.float64
        with pytest.raises(ValueError):
            array[0] = 1.0
    scan = db.thermal("HCl", [300, 600], 300)
    assert not scan.sigma.flags["WRITEABLE"]
    assert scan.sigma.shape == (len(scan.energy), 2)
    # The views keep their curve alive.
    energy = db.curve("HCl:dea:v=0,J=0").energy
    assert energy[0] > 0.0


# ---- a hostile caller ------------------------------------------------------------------------

def limited(db_path, calls, room=64 << 20):
    """Runs each of `calls` (Python source with `db` and `np` at hand) in a new interpreter whose
    address space may grow by `room` bytes past what it holds once sigmat and numpy are loaded.
    Gives one line per call: "returned", or the exception's type and message."""
    if os.environ.get("SIGMAT_SANITIZED"):
        pytest.skip("the sanitizer's allocator ends the process where memory runs out instead "
                    "of throwing std::bad_alloc")
    script = textwrap.dedent(f"""
        import resource, numpy as np, sigmat
        db = sigmat.Database({db_path!r})
        with open("/proc/self/status") as status:
            size = next(int(l.split()[1]) * 1024 for l in status if l.startswith("VmSize:"))
        resource.setrlimit(resource.RLIMIT_AS, (size + {room}, resource.RLIM_INFINITY))
        for call in {calls!r}:
            try:
                exec(call)
                print("returned")
            except Exception as e:
                print(type(e).__name__, e)
        """)
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                          encoding="utf-8", env=dict(os.environ, PYTHONIOENCODING="utf-8"))
    assert done.returncode == 0, done.stderr
    return done.stdout.splitlines()


BOUND = ": at most 100000 pairs and 10000000 cells per request"


@pytest.mark.parametrize("call,refused", [
    # A range of 10^9 kelvins is counted, not read (it once took 8 GB before any check).
    ("db.thermal('HCl', range(10**9), 300)", "--tv × --tj gives 1000000000 pairs" + BOUND),
    ("db.thermal('HCl', np.arange(10000), range(100))", "--tv × --tj gives 1000000 pairs" + BOUND),
    ("db.thermal('HCl', range(10000), [0, 1, 2])",
     "--tv × --tj gives 30000 pairs and 15000000 cells" + BOUND),
], ids=["1e9 pairs", "1e6 pairs", "1.5e7 cells"])
def test_F9_thermal_requests_are_bounded_before_any_work(db_path, call, refused):
    assert limited(db_path, [call]) == ["ValueError " + refused]


def test_F10_huge_catalogues_are_not_read_and_memory_that_runs_out_is_a_memory_error(db_path,
                                                                                   tmp_path):
    (tmp_path / "index.dat").write_bytes(b" 1\n")
    os.truncate(tmp_path / "index.dat", 1 << 30)  # sparse: no disk taken
    outcomes = limited(db_path, [
        f"sigmat.Database({str(tmp_path)!r})",
        "db.thermal('HCl', range(10000), [0, 1])",  # 10^7 cells, within bounds: 80 MB
        "db.thermal('HCl', 300, 300)",              # the interpreter goes on
    ])
    assert outcomes[0] == f"DataError {tmp_path / 'index.dat'}: larger than 1 MiB"
    assert outcomes[1].startswith("MemoryError")
    assert outcomes[2] == "returned"


@pytest.mark.parametrize("call", [
    "sigmat.rate(e, s, T=t)",
    "sigmat.fold(e, s, 999)",
    "db.thermal('HCl', range(0, 10000, 2), [300, 1000, 3000, 9999])",
])
def test_F11_long_calls_let_other_threads_run(db, call):
    """Another thread, let go just before a call of a few tenths of a second, must finish
    500000 steps of the interpreter before the call returns. Held out by the GIL it gets a
    switch or two (some thousand steps, with a switch every 0.1 ms); with the GIL released,
    millions."""
    go, finished = threading.Event(), threading.Event()

    def steps():
        go.wait()
        n = 0
        for i in range(500_000):
            n += i
        finished.set()

    # Made beforehand: numpy lets other threads run while it computes.
    energy = np.arange(1, 200001) * 0.001
    names = {"db": db, "e": energy, "s": np.exp(-energy), "t": np.linspace(100.0, 1e5, 30)}
    other = threading.Thread(target=steps)
    interval = sys.getswitchinterval()
    sys.setswitchinterval(1e-4)
    try:
        other.start()
        go.set()
        eval(call, globals(), names)
        during = finished.is_set()
    finally:
        sys.setswitchinterval(interval)
        other.join()
    assert during, "the other thread waited for the whole call"


def refused(table):
    """A table of calls (Python source with `db`, `c`, a curve of it, and `e`, a uniform grid of
    500 energies) and the start of their ValueError's message; each call names its test."""
    return pytest.mark.parametrize("call,message", table, ids=[call for call, _ in table])


def check_refused(db, call, message):
    curve = db.curve("HCl:dea:v=0,J=0")
    with pytest.raises(ValueError) as error:
        eval(call, globals(), {"db": db, "c": curve, "e": np.arange(1, 501) * 0.01})
    assert str(error.value)[:len(message)] == message


@refused([
    ("sigmat.rate(c, T=1e308)", "T: temperatures above 0 K up to 1000000 K"),
    ("sigmat.rate(c, T=[300, float('nan')])", "T: temperatures above 0 K up to 1000000 K"),
    ("sigmat.rate(c, T=10**400)", "T: temperatures above 0 K up to 1000000 K"),
    ("sigmat.rate(c, T=300, mass=float('inf'))", "mass: a mass from 0.0001 to 10000 u"),
    ("sigmat.rate(c, T=300, mass=1e-320)", "mass: a mass from 0.0001 to 10000 u"),
    ("sigmat.rate(c, T=300, mass=-10**400)", "mass: a mass from 0.0001 to 10000 u"),
    ("db.thermal('HCl', float('inf'), 300)", "tv: temperatures are whole kelvins from 0 to 9999"),
    ("db.thermal('HCl', 300, [300, 10000])", "tj: temperatures are whole kelvins from 0 to 9999"),
    ("db.thermal('HCl', 300, 300, fwhm=2**40)", "fwhm: a number of meV from 1 to 999"),
    ("db.curve('HCl:dea:v=0,J=0', fwhm=0.5)", "fwhm: a number of meV from 1 to 999"),
    ("db.curve('HCl:dea:v=0,J=0', fwhm=float('nan'))", "fwhm: a number of meV from 1 to 999"),
    # Folds that once came back unfolded, or infinite.
    ("sigmat.fold(e, np.ones(500), 1e-300)", "fwhm_meV: a number of meV from 1 to 999"),
    ("sigmat.fold(e, np.full(500, 1e307), 50)", "sigma: values so large"),
])
def test_F13_numbers_out_of_range_are_value_errors_naming_the_argument(db, call, message):
    check_refused(db, call, message)


@pytest.fixture(scope="session")
def latin1_db(db_path, tmp_path_factory):
    """HCl in a folder named "café" in Latin-1, under the name "HCé" in Latin-1: bytes that are
    not UTF-8 in every path and in the catalogue."""
    raw = os.path.join(os.fsencode(tmp_path_factory.mktemp("latin1")), b"caf\xe9")
    shutil.copytree(os.path.join(os.fsencode(db_path), b"HCl"), os.path.join(raw, b"HC\xe9"))
    with open(os.path.join(os.fsencode(db_path), b"index.dat"), "rb") as catalogue:
        rows = [r.replace(b"HCl", b"HC\xe9") for r in catalogue if r.startswith(b"HCl")]
    with open(os.path.join(raw, b"index.dat"), "wb") as catalogue:
        catalogue.write(b" 1\n" + b"".join(rows) + b"###\n\n")
    return raw


@pytest.mark.parametrize("form", [bytes, os.fsdecode, lambda raw: pathlib.Path(os.fsdecode(raw))],
                         ids=["bytes", "str", "PathLike"])
def test_F14_paths_of_any_bytes_come_back_as_they_went(latin1_db, form):
    db = sigmat.Database(form(latin1_db))
    folder = os.fsdecode(latin1_db)
    assert db.path == folder
    assert db.molecules() == [os.fsdecode(b"HC\xe9")]
    molecule = db.molecules()[0]
    assert db.states(molecule)[0] == db.states(b"HC\xe9")[0] == (molecule, 0, 20)
    curve = db.curve(molecule + ":dea:v=0,J=0")
    assert repr(curve) == f"<sigmat.Curve {molecule}:dea:v=0,J=0, 500 energies>"
    provenance = curve.provenance
    assert provenance["database"] == folder
    assert os.fsencode(provenance["source_files"][0]).startswith(latin1_db + b"/HC\xe9/")
    assert db.thermal(molecule, 300, 300).provenance["states"][0]["file"].startswith(folder)
    assert f"COMMENT: database: {folder}\n" in sigmat.to_lxcat(curve)
    with pytest.raises(sigmat.DataError) as missing:
        db.curve(molecule + ":dea:v=0,J=77")
    assert os.fsencode(missing.value.path).startswith(latin1_db)
    assert str(missing.value).startswith(folder)


@refused([
    ("sigmat.Database(db.path + '\\0/elsewhere')", "path: holds a NUL character"),
    ("sigmat.Database(os.fsencode(db.path) + b'\\0')", "path: holds a NUL character"),
    ("db.thermal('HCl\\0/../HBr', 300, 300)", "molecule: holds a NUL character"),
    ("db.curve('HCl\\0:dea:v=0,J=0')", "selector: holds a NUL character"),
])
def test_F14_a_nul_in_a_path_or_name_is_refused(db, call, message):
    # The system would read the name up to the NUL: another file than the one named.
    check_refused(db, call, message)


def generator():
    yield 300


@refused([
    ("db.thermal('HCl', '300', 300)", "tv: a number or a 1-D sequence of numbers (whole kelvins"),
    ("db.thermal('HCl', generator(), 300)", "tv: a number or a 1-D sequence"),
    ("db.thermal('HCl', 300, [[300]])", "tj: a number or a 1-D sequence"),
    ("db.thermal('HCl', 300, None)", "tj: a number or a 1-D sequence"),
    ("db.thermal('HCl', 300, 300, fwhm='20')", "fwhm: a number of meV from 1 to 999, not str"),
    ("db.thermal('HCl', 300, 300, units=2)", "units: a str or bytes, not int"),
    ("db.thermal(1, 300, 300)", "molecule: a str or bytes, not int"),
    ("db.states(None)", "molecule: a str or bytes, not NoneType"),
    ("db.curve(['HCl:dea:v=0,J=0'])", "selector: a str or bytes, not list"),
    ("sigmat.rate(c, T='300')", "T: a number or a 1-D sequence of numbers (kelvins above 0"),
    ("sigmat.rate(c, T=['300'])", "T: a number or a 1-D sequence"),  # numpy would take it
    ("sigmat.rate(c, T=generator())", "T: a number or a 1-D sequence"),
    ("sigmat.rate(c, T=np.array([[300.0]]))", "T: a number or a 1-D sequence"),
    ("sigmat.rate(c, T=300, mass='1')", "mass: a number (u, from 0.0001 to 10000), not str"),
    ("sigmat.rate('energies', [1.0], T=300)", "curve_or_energy: a sigmat.Curve or a 1-D sequence"),
    ("sigmat.rate(c.energy, c.sigma.astype(str), T=300)", "sigma: a 1-D sequence of numbers"),
    ("sigmat.fold(c.energy, c.sigma, '10')", "fwhm_meV: a number of meV from 1 to 999, not str"),
    ("sigmat.to_lxcat(c.sigma)", "curve: a sigmat.Curve, not numpy.ndarray"),
    ("sigmat.Database(3)", "path: a str, bytes or os.PathLike, not int"),
])
def test_F17_arguments_that_cannot_be_taken_are_value_errors_naming_them(db, call, message):
    check_refused(db, call, message)
