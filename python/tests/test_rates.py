"""Rates under any distribution, rate tables of a thermal gas, Arrhenius fits, a molecule's
LXCat set, fractional folds, user's files and pandas frames, each against sigmat-cli on the demo
database (numbers and warning texts) or against the physics it must hold to."""
import math
import os
import shutil
import sys
import warnings

import numpy as np
import pytest

import sigmat

from conftest import cli, cli_json, run_cli

KB_EV = 1.380649e-23 / 1.602176634e-19


def caught(call):
    """The result of call() and the texts of the warnings it gave."""
    with warnings.catch_warnings(record=True) as said:
        warnings.simplefilter("always")
        result = call()
    return result, [str(w.message) for w in said]


def druyvesteyn_file(tmp_path):
    """A solver's output: a title, a header, the EEDF (Druyvesteyn at 1 eV, off 1 by 2 % in
    its normalisation) in column 2 and an anisotropy column after it."""
    energy = np.linspace(0.0, 12.0, 1201)
    f = 1.02 * 0.5656 * np.exp(-0.5483 * energy ** 2)
    path = tmp_path / "eedf.txt"
    rows = "".join(f"{e:.6e}  {v:.6e}  {0.01:.2e}\n" for e, v in zip(energy, f))
    path.write_text("Two-term solution, 100 Td\nEnergy (eV)  EEDF (eV-3/2)  Anisotropy\n" + rows)
    table = np.loadtxt(path, skiprows=2)
    return str(path), (table[:, 0], table[:, 1])


@pytest.mark.parametrize("selector,cli_args,kwargs", [
    ("HCl:dea:v=2,J=0", ["--t", "300,1000,30000"], dict(T=[300, 1000, 30000])),
    ("HI:dea:v=0,J=0", ["--t", "300", "--below", "wigner"], dict(T=[300], below="wigner")),
    ("HCl:dea:v=2,J=0", ["--eedf", "druyvesteyn", "--mean-energy", "0.5,2"],
     dict(mean_energy=[0.5, 2], eedf="druyvesteyn")),
    ("HBr:ve:v=0,J=2,vf=1", ["--eedf", "shape=1.5", "--t", "5000,20000"],
     dict(T=[5000, 20000], eedf=1.5)),
    ("HCl:thermal:tv=2000,tj=300", ["--t", "300:3000:900"], dict(T=[300, 1200, 2100, 3000])),
    ("HCl:aedtot", ["--t", "300,1000"], dict(T=[300, 1000])),
    ("HCl:dea:v=2,J=0", ["--eedf", "file:EEDF"], dict(eedf="EEDF")),
])
def test_rates_and_warnings_are_the_command_lines(db, db_path, tmp_path, selector, cli_args,
                                                   kwargs):
    path, arrays = druyvesteyn_file(tmp_path)
    cli_args = [a.replace("EEDF", path) for a in cli_args]
    if kwargs.get("eedf") == "EEDF":
        kwargs = dict(kwargs, eedf=arrays)
    out, expected_warnings = run_cli(db_path, "rate", selector, *cli_args, "--format", "json")
    expected = cli_json(db_path, "rate", selector, *cli_args)["columns"][-1]["values"]
    k, said = caught(lambda: sigmat.rate(db.curve(selector), **kwargs))
    np.testing.assert_array_equal(np.atleast_1d(k), expected)
    # A distribution given as arrays is named "eedf" where the command line names its column.
    assert said == [w.replace("column 2: ", "eedf: ") for w in expected_warnings]


def test_rate_is_the_physics():
    me = 5.48579909065e-4 * 1.66053906660e-27
    speed_per_sqrt_ev = math.sqrt(2 * 1.602176634e-19 / me) * 1e2  # cm/s
    # sigma = 1 A^2: the mean speed, for the Maxwellian (also as shape 1) and Druyvesteyn's,
    # whose <E f> for f = c1 <E>^-3/2 exp(-c2 (E/<E>)^X) is c1 Gamma(2/X) / (X c2^(2/X)) <E>^1/2.
    energy = np.linspace(0.0, 400.0, 400001)
    sigma = np.ones_like(energy)
    for t in (300.0, 10000.0):
        mean_speed = math.sqrt(8 * 1.380649e-23 * t / (math.pi * me)) * 1e2
        assert sigmat.rate(energy, sigma, T=t) == pytest.approx(mean_speed * 1e-16, rel=1e-9)
        assert sigmat.rate(energy, sigma, T=t, eedf=1.0) == pytest.approx(
            sigmat.rate(energy, sigma, T=t), rel=1e-9)
    x, mean = 2.0, 1.5
    c1 = x * math.gamma(5 / (2 * x)) ** 1.5 / math.gamma(3 / (2 * x)) ** 2.5
    c2 = (math.gamma(5 / (2 * x)) / math.gamma(3 / (2 * x))) ** x
    flux = c1 * math.gamma(2 / x) / (x * c2 ** (2 / x)) * math.sqrt(mean)
    assert sigmat.rate(energy, sigma, mean_energy=mean, eedf="druyvesteyn") == pytest.approx(
        speed_per_sqrt_ev * flux * 1e-16, rel=1e-9)
    # sigma = C / sqrt(E) on a 1 meV grid, the threshold law below it: C sqrt(2e/me) for any T.
    grid = np.arange(1, 200001) * 0.001
    k = sigmat.rate(grid, 1.0 / np.sqrt(grid), T=1e4, below="wigner")
    assert k == pytest.approx(speed_per_sqrt_ev * 1e-16, rel=1e-5)


@pytest.mark.parametrize("abscissa,cli_args", [
    (dict(T=[300, 1000, 3000]), ["--t", "300,1000,3000"]),
    (dict(mean_energy=[0.1, 1.0], eedf="druyvesteyn", below="wigner"),
     ["--mean-energy", "0.1,1", "--eedf", "druyvesteyn", "--below", "wigner"]),
    (dict(eedf="EEDF"), ["--eedf", "file:EEDF"]),
])
def test_rate_tables_are_the_command_lines_and_the_single_pairs(db, db_path, tmp_path, abscissa,
                                                                cli_args):
    path, arrays = druyvesteyn_file(tmp_path)
    cli_args = [a.replace("EEDF", path) for a in cli_args]
    if abscissa.get("eedf") == "EEDF":
        abscissa = dict(abscissa, eedf=arrays)
    tv, tj = [300, 2000, 3000], [100, 3000]
    table, said = caught(lambda: db.rates("DI", tv, tj, **abscissa))
    out, expected_warnings = run_cli(db_path, "rates", "DI", "--tv", "300,2000,3000", "--tj",
                                     "100,3000", *cli_args, "--format", "json")
    expected = cli_json(db_path, "rates", "DI", "--tv", "300,2000,3000", "--tj", "100,3000",
                        *cli_args)["columns"][-1]["values"]
    assert isinstance(table, sigmat.RateArray) and not table.flags.writeable
    # To rounding: the command line reads the file's numbers with its own reader.
    np.testing.assert_allclose(table.reshape(-1), expected, rtol=1e-14)
    assert said == [w.replace("column 2: ", "eedf: ") for w in expected_warnings]
    assert any("of the population; the average leaves the rest out" in w for w in said)
    p = table.provenance
    assert (p["tv_K"], p["tj_K"], len(p["coverage"])) == (tv, tj, 6)
    # Each row is the rate of that pair's average, computed the long way.
    for i, j in [(0, 0), (2, 1)]:
        single, _ = caught(lambda: sigmat.rate(db.thermal("DI", tv[i], tj[j]), **abscissa))
        np.testing.assert_allclose(table[i, j], np.atleast_1d(single), rtol=1e-9)
    # Slices keep the provenance; arithmetic leaves plain numbers.
    assert table[1].provenance is p
    assert type(table * 2) is np.ndarray and type(table.max()) is not sigmat.RateArray


def test_fits_are_the_command_lines_and_recover_known_values(db, db_path):
    t = np.array([300.0, 500, 1000, 2000, 3000])
    for a, b, ea in [(1.5e-10, 0.5, 1234.5), (3e-12, -1.2, -300.0)]:
        fit = sigmat.fit_arrhenius(t, a * (t / 300) ** b * np.exp(-ea / t))
        assert fit["A"] == pytest.approx(a, rel=1e-9) and fit["b"] == pytest.approx(b, rel=1e-9)
        assert fit["Ea_K"] == pytest.approx(ea, rel=1e-9) and fit["T_K"] == [300, 3000]
        assert fit["max_deviation"] < 1e-9
    expected = cli_json(db_path, "rate", "HCl:thermal:tv=2000,tj=300", "--t", "300:3000:300",
                        "--fit", "arrhenius")
    k = sigmat.rate(db.curve("HCl:thermal:tv=2000,tj=300"), T=np.arange(300, 3001, 300))
    fit = sigmat.fit_arrhenius(np.arange(300, 3001, 300), k)
    assert fit["T_K"] == expected["fit"]["T_K"]
    for key in ("A", "b", "Ea_K", "max_deviation"):
        assert fit[key] == pytest.approx(expected["fit"][key], rel=1e-12)
    assert 0.005 < fit["max_deviation"] < 0.01  # not Arrhenius: the deviation says so


@pytest.mark.parametrize("call,message", [
    ("sigmat.fit_arrhenius([300, 600, 900], [1e-10, 0, 1e-10])",
     "k: fewer than 3 distinct temperatures with k > 0: no fit"),
    ("sigmat.fit_arrhenius([300, 600], [1e-10, 2e-10, 3e-10])",
     "k: 3 values for 2 in T (T[2] is missing)"),
    ("sigmat.fit_arrhenius([300, 0, 900], [1, 2, 3])", "T[1]: 0 is not above 0 K"),
    ("sigmat.fit_arrhenius([300, 600, 900], [1, np.nan, 3])", "k[1]: nan is not a finite number"),
    ("sigmat.fold(e, np.r_[1, 2, 3, np.nan, np.ones(496)], 20)",
     "sigma[3]: nan is not a finite number"),
    ("sigmat.fold(np.r_[e[:7], np.inf, e[8:]], np.ones(500), 20)",
     "energy[7]: inf is not a finite number"),
    ("sigmat.fold(e, np.ones(499), 20)", "sigma: 499 values for 500 in energy (sigma[499] is"),
    ("sigmat.fold(e[::-1], np.ones(500), 20)", "energy[1]: 4.99 after 5: the energies must rise"),
    ("sigmat.fold(np.r_[e[:50], e[50:] + 0.001], np.ones(500), 20)",
     "energy[50]: the grid is not uniform"),
    ("sigmat.rate(e, np.r_[np.ones(9), -np.inf, np.ones(490)], T=300)",
     "sigma[9]: -inf is not a finite number"),
    ("sigmat.rate(np.r_[e[:3], e[2:]], np.ones(501), T=300)", "returned"),
    ("sigmat.rate(np.r_[e[:3], e[1:]], np.ones(502), T=300)", "energy[3]: 0.02 after 0.03"),
    ("sigmat.rate(c, eedf=(e, np.ones(499)))", "eedf[1]: 499 values for 500 in eedf[0]"),
    ("sigmat.rate(c, eedf=(e, -np.ones(500)))", "eedf[1][0]: -1 is below 0"),
    ("sigmat.rate(c, T=300, eedf=(e, np.ones(500)))", "eedf: the arrays are the distribution"),
    ("sigmat.rate(c, T=300, mean_energy=1)", "T, mean_energy: give one of T (K) and"),
    ("sigmat.rate(c)", "T, mean_energy: give one of T (K) and"),
    ("sigmat.rate(c, T=300, eedf=7)", "eedf: a shape X from 0.5 to 5"),
    ("sigmat.rate(c, T=300, eedf='boltzmann')", "eedf: maxwell, druyvesteyn"),
    ("sigmat.rate(c, T=300, eedf={})", "eedf: \"maxwell\", \"druyvesteyn\", a shape"),
    ("sigmat.rate(c, T=300, below='langevin')", "below: \"zero\" or \"wigner\""),
    ("sigmat.rate(c, mean_energy=2000)", "mean_energy: mean energies from 0.001 to 1000 eV"),
    ("sigmat.rate(db.curve('HCl:aedtot'), mean_energy=1)",
     "AED rates are Maxwellian at the gas temperature"),
    ("db.rates('HCl', range(1000), range(101), T=[300] * 100)", "--tv × --tj gives 101000 pairs"),
    ("db.rates('HCl', 300, 300, T=300, eedf='druyvesteyn', below=0)", "below: a str or bytes"),
])
def test_bad_arguments_are_named_with_their_first_bad_index(db, call, message):
    names = {"db": db, "c": db.curve("HCl:dea:v=0,J=0"), "e": np.arange(1, 501) * 0.01,
             "np": np, "sigmat": sigmat}
    try:
        caught(lambda: eval(call, names))
        outcome = "returned"
    except ValueError as error:
        outcome = str(error)
    assert outcome.startswith(message)


def test_fractional_folds_are_the_fold_of_the_curve_and_narrow_ones_warn(db, db_path):
    raw = db.curve("HCl:dea:v=1,J=3")
    folded = db.curve("HCl:dea:v=1,J=3", fwhm=50.5)
    np.testing.assert_array_equal(folded.sigma, sigmat.fold(raw.energy, raw.sigma, 50.5))
    assert folded.provenance["fwhm_meV"] == 50.5
    assert "PARAM.:  E = 0 eV, FWHM = 50.5 meV\n" in sigmat.to_lxcat(folded)
    scan = db.thermal("HCl", [300, 3000], 300, fwhm=30.5)
    plain = db.thermal("HCl", [300, 3000], 300)
    for column in range(2):
        np.testing.assert_array_equal(scan.sigma[:, column],
                                      sigmat.fold(plain.energy, plain.sigma[:, column], 30.5))
    # A whole number given as a float is the command line's fold.
    np.testing.assert_array_equal(db.curve("HCl:dea:v=1,J=3", fwhm=50.0).sigma,
                                  cli_json(db_path, "curve", "HCl:dea:v=1,J=3,fwhm=50")
                                  ["columns"][0]["values"])
    # Below twice the grid step (10 meV): the command line's warning; at twice it, none.
    _, expected = run_cli(db_path, "curve", "HCl:dea:v=1,J=3,fwhm=5")
    assert expected == ["FWHM 5 meV is below twice the grid step (10 meV): a flat curve comes out "
                        "×1.88"]
    for call in [lambda: db.curve("HCl:dea:v=1,J=3,fwhm=5"), lambda: db.curve(
            "HCl:dea:v=1,J=3", fwhm=5), lambda: db.thermal("HCl", 300, 300, fwhm=5.0),
            lambda: sigmat.fold(raw.energy, raw.sigma, 5), lambda: db.export_lxcat("HF", 5)]:
        with pytest.warns(RuntimeWarning) as said:
            call()
        assert [str(w.message) for w in said] == expected
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        db.curve("HCl:dea:v=1,J=3", fwhm=20)


@pytest.mark.parametrize("fwhm,as_tabulated,cli_args", [
    (None, False, []), (20, False, ["--fwhm", "20"]), (None, True, ["--as-tabulated"])])
def test_lxcat_sets_and_blocks_are_the_command_lines(db, db_path, fwhm, as_tabulated, cli_args):
    text, said = caught(lambda: db.export_lxcat("HBr", fwhm=fwhm, as_tabulated=as_tabulated))
    assert (text, said) == run_cli(db_path, "export", "HBr", "--format", "lxcat", *cli_args)
    selector = "HBr:dea:v=1,J=2" + (f",fwhm={fwhm}" if fwhm else "")
    assert sigmat.to_lxcat(db.curve(selector), as_tabulated=as_tabulated) == cli(
        db_path, "curve", selector, "--format", "lxcat", *cli_args[:as_tabulated])


def test_missing_states_are_warned_and_left_out(db_path, tmp_path):
    copy = tmp_path / "db"
    shutil.copytree(db_path, copy)
    os.remove(copy / "HF" / "DA" / "nu01" / "DA01J04.dat")
    text, said = caught(lambda: sigmat.Database(copy).export_lxcat("HF"))
    assert said == [f"{copy}/HF/DA/nu01/DA01J04.dat: no such file; the state is left out"]
    assert "HF(v=1,J=4) -> H + F-" not in text and "HF(v=1,J=5) -> H + F-" in text
    shutil.rmtree(copy / "HF" / "DA")
    shutil.rmtree(copy / "HF" / "VE")
    with pytest.raises(sigmat.DataError, match="no state of HF has a file to export"):
        caught(lambda: sigmat.Database(copy).export_lxcat("HF"))


@pytest.mark.parametrize("selector,file,message", [
    ("HCl:ve:v=0,J=3,vf=7", "VE/nu00/VE00J03.dat", "the file holds final levels v' = 0 to 5; "
     "v' = 7 was asked"),
    ("HCl:aed:vf=9,J=2", "AD/adJ02.dat", "the file holds final levels v' = 0 to 7; v' = 9 was "
     "asked")])
def test_a_final_level_the_file_lacks_is_named(db, db_path, selector, file, message):
    with pytest.raises(sigmat.DataError) as error:
        db.curve(selector)
    path = os.path.join(db_path, "HCl", file)
    assert (str(error.value), error.value.path) == (f"{path}: {message}", path)


def test_measured_files_are_read_as_the_command_line_reads_them(db, db_path, tmp_path):
    two = tmp_path / "beam.txt"
    two.write_text("# beam, 2019\n0.5 1.0e-17\n1.0 3.0e-17\n1.5 2.0e-17\n")
    beam = db.measured(two, units="cm2")
    np.testing.assert_array_equal(beam.energy, [0.5, 1.0, 1.5])
    np.testing.assert_allclose(beam.sigma, [1e-17, 3e-17, 2e-17], rtol=1e-15)
    assert sigmat.rate(beam, T=1000) == pytest.approx(
        sigmat.rate(beam.energy, beam.sigma * 1e16, T=1000), rel=1e-12)
    assert beam.provenance["source_files"] == [str(two)]
    lxcat = tmp_path / "set.txt"
    lxcat.write_text(db.export_lxcat("HF", as_tabulated=True))
    second = db.measured(str(lxcat), block=2)
    np.testing.assert_allclose(second.sigma, db.curve("HF:dea:v=0,J=1").sigma, rtol=1e-6,
                               atol=1e-30)
    with pytest.raises(ValueError, match=f"^{lxcat} holds 420 blocks; block 1000000 was asked"):
        db.measured(lxcat, block=10**6)
    with pytest.raises(ValueError, match="block: None or a block number"):
        db.measured(lxcat, block=0)
    with pytest.raises(ValueError, match="has no LXCat form"):
        sigmat.to_lxcat(second)


def test_frames_are_the_command_lines_tables(db, db_path, monkeypatch):
    curve = db.curve("HCl:dea:v=1,J=3", units="cm2")
    frame = curve.to_pandas()
    assert frame.index.name == "E_eV" and list(frame.columns) == ["sigma_cm2"]
    np.testing.assert_array_equal(frame["sigma_cm2"], curve.sigma)
    assert frame.attrs["selector"] == "HCl:dea:v=1,J=3" and frame.attrs["units"] == "cm2"
    scan = db.thermal("HCl", [300, 1000], [100, 300])
    long = scan.to_pandas()
    assert list(long.columns) == ["Tv_K", "TJ_K", "E_eV", "sigma_A2"]
    wide = long.pivot_table(index="E_eV", columns=["Tv_K", "TJ_K"], values="sigma_A2")
    np.testing.assert_array_equal(wide.to_numpy(), scan.sigma)
    table = db.rates("HCl", [300, 1000], 300, T=[1000, 3000])
    rows = table.to_pandas()
    assert list(rows.columns) == ["Tv_K", "TJ_K", "T_K", "mean_energy_eV", "k_cm3/s"]
    expected = cli_json(db_path, "rates", "HCl", "--tv", "300,1000", "--tj", "300", "--t",
                        "1000,3000")
    np.testing.assert_array_equal(rows["k_cm3/s"], expected["columns"][-1]["values"])
    np.testing.assert_array_equal(rows["Tv_K"], expected["Tv_K"])
    monkeypatch.setitem(sys.modules, "pandas", None)
    with pytest.raises(ImportError, match="to_pandas needs pandas"):
        curve.to_pandas()
