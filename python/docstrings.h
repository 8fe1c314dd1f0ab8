// What help() and the editors show of the sigmat module's names.
#pragma once

namespace sigmat::python::doc {

inline constexpr const char* module =
    "Electron-molecule collision cross sections of a Sigmat database (DEA, VE, AED of diatomic "
    "molecules) as numpy arrays: state-resolved curves, the resolution fold, thermal averages "
    "and scans, Maxwellian rate coefficients, LXCat text. Paths are str, bytes or os.PathLike "
    "and come back as str that os.fsencode turns into the same bytes; an argument that cannot "
    "be taken is a ValueError naming it; the computations release the GIL.";
inline constexpr const char* data_error =
    "A database file that is missing or cannot be read as it must be. A RuntimeError with "
    "`.path` (the file) and `.line` (1-based; 0 for the file as a whole).";

inline constexpr const char* curve_class =
    "A curve computed from a database. `energy` (eV) and `sigma` are read-only views of the "
    "numbers the core holds.";
inline constexpr const char* curve_energy = "The energies in eV, a 1-D float64 array.";
inline constexpr const char* curve_sigma =
    "The cross sections in `units`: 1-D, or 2-D of shape (energies, pairs) for a scan.";
inline constexpr const char* curve_units = "The cross-section units: \"A2\", \"cm2\" or \"m2\".";
inline constexpr const char* curve_provenance =
    "Where the numbers come from: the database, source files, selector, FWHM, temperatures, the "
    "states and their weights, and the estimated share of the population held (thermal).";

inline constexpr const char* database_class =
    "A Sigmat database: a folder with index.dat and one folder per molecule.";
inline constexpr const char* database_init =
    "Opens the database at `path`, a str, bytes or os.PathLike (ValueError when it is not a "
    "folder; DataError when its index.dat cannot be read or is larger than 1 MiB).";
inline constexpr const char* database_molecules =
    "The molecule codes of the catalogue (index.dat, or the built-in list).";
inline constexpr const char* database_states =
    "The catalogue's rows of a molecule: (molecule, v, J_max) per vibrational level.";
inline constexpr const char* database_curve =
    "The curve of a selector as sigmat-cli takes it: MOL:dea:v=V,J=J, MOL:ve:v=V,J=J,vf=VF, "
    "MOL:aed:vf=VF,J=J, MOL:aedtot or MOL:thermal:tv=TV,tj=TJ; folded with `fwhm` (meV) when "
    "given (ValueError when the selector holds fwhm= too). Raises DataError when a file is "
    "missing or cannot be read.";
inline constexpr const char* database_thermal =
    "DEA of a thermal gas at every Tv with every TJ (Tv outer; kelvins, scalars or sequences), "
    "folded with `fwhm` (meV) when given. A scan's sigma has one column per pair. At most "
    "100000 pairs and 10^7 values (pairs times energies) per call, else ValueError.";
inline constexpr const char* database_path =
    "The database directory, as a str that os.fsencode turns into its bytes.";

inline constexpr const char* fold =
    "The dialog's fold: sigma (on a uniform grid of energies in eV; steps equal within 1e-6 of "
    "the step, else ValueError) folded with a normalised Gaussian of FWHM `fwhm_meV`, integrated "
    "by trapezoids from the first energy upwards and 100 steps past the last at its value. "
    "Returns a new array.";
inline constexpr const char* rate =
    "Maxwellian rate coefficients k(T) in cm^3/s, as sigmat-cli rate gives them: from a curve "
    "(its units respected) or from energy (eV) and sigma (A^2). T in K, a scalar (gives a float) "
    "or a sequence. The electron's mass unless `mass` (u) is given; an AED curve takes the "
    "reduced mass of its molecule's atoms.";
inline constexpr const char* to_lxcat =
    "The LXCat block of a curve, as sigmat-cli writes it (ValueError for the processes LXCat has "
    "no keyword for: AED, VE into the same or a lower level).";

} // namespace sigmat::python::doc
