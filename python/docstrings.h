// What help() and the editors show of the sigmat module's names.
#pragma once

namespace sigmat::python::doc {

inline constexpr const char* module =
    "Electron-molecule collision cross sections of a Sigmat database (DEA, VE, AED of diatomic "
    "molecules) as numpy arrays: state-resolved curves, the resolution fold, thermal averages "
    "and scans, rate coefficients under any electron energy distribution and their tables, "
    "Arrhenius fits, LXCat text. Paths are str, bytes or os.PathLike "
    "and come back as str that os.fsencode turns into the same bytes; an argument that cannot "
    "be taken is a ValueError naming it; the computations release the GIL.";
inline constexpr const char* data_error =
    "A database file that is missing or cannot be read as it must be. A RuntimeError with "
    "`.path` (the file) and `.line` (1-based; 0 for the file as a whole).";

inline constexpr const char* curve_class =
    "A curve computed from a database. `energy` (eV) and `sigma` are read-only views of the "
    "numbers the core holds.";
inline constexpr const char* curve_energy =
    "The energies in eV: the table's grid, rising, a read-only 1-D float64 array.";
inline constexpr const char* curve_sigma =
    "The cross sections in `units`: 1-D, or 2-D of shape (energies, pairs) for a scan.";
inline constexpr const char* curve_units =
    "The units `sigma` is in, as the curve was asked for: \"A2\" (square angstroms), \"cm2\" or "
    "\"m2\" (sigmat.rate converts them itself).";
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
    "MOL:aed:vf=VF,J=J, MOL:aedtot or MOL:thermal:tv=TV,tj=TJ (str or bytes); folded with a "
    "Gaussian of FWHM `fwhm` (meV, any number from 1 to 999) when given, in `units` (\"A2\", "
    "\"cm2\" or \"m2\"). ValueError for a selector that cannot be read or that holds fwhm= as "
    "well; DataError when a file is missing or cannot be read, or does not hold the final "
    "level asked for. A fold below twice the grid step is a RuntimeWarning.";
inline constexpr const char* database_thermal =
    "DEA of a thermal gas at every Tv with every TJ (Tv outer; whole kelvins from 0 to 9999, "
    "scalars or sequences), folded with `fwhm` (meV, 1 to 999) when given, in `units`. With "
    "scalars sigma is 1-D; with a sequence it is 2-D, one column per pair. At most 100000 "
    "pairs and 10^7 values (pairs times energies) per call, else ValueError; DataError when "
    "the ground state's file is missing or a file cannot be read.";
inline constexpr const char* database_rates =
    "DEA rate coefficients (cm^3/s) of a thermal gas: for every Tv and TJ (whole kelvins, "
    "scalars or sequences) the Boltzmann average's rate under every distribution asked for, "
    "each state's rate computed once. The abscissa is `T` (K) or `mean_energy` (eV), with "
    "`eedf` \"maxwell\", \"druyvesteyn\" or a shape X from 0.5 to 5, or `eedf` a pair of "
    "arrays (energy in eV, f in eV^-3/2) without either. `below` is \"zero\" or \"wigner\" "
    "(sigma(E1) sqrt(E1/E) below the table's first energy E1). Returns a read-only "
    "sigmat.RateArray of shape (len(tv), len(tj), len(abscissa)), a row of which equals "
    "sigmat.rate of that pair's thermal curve; its `.provenance` holds the temperatures, the "
    "abscissa, the distribution, the states and the coverage. Pairs whose states hold less "
    "than 99 % of the population, tables that end too low and regions below the table that "
    "the threshold law would make count are RuntimeWarnings, as sigmat-cli rates writes them. "
    "ValueError for arguments out of range (at most 100000 pairs and 10^7 rates), DataError "
    "for files.";
inline constexpr const char* database_export_lxcat =
    "A molecule's whole set for a Boltzmann solver as LXCat text, as sigmat-cli export writes "
    "it: every DEA state the catalogue lists as ATTACHMENT and every VE into a higher level "
    "as EXCITATION, each named by its states on its line 2, folded with `fwhm` (meV, 1 to 999) "
    "when given. Each block ends with sigma = 0 one step past its last energy unless "
    "`as_tabulated`. Listed states whose file is missing are left out with a RuntimeWarning "
    "naming the file; DataError when none has a file.";
inline constexpr const char* database_measured =
    "A user's file as a curve, read as sigmat-cli reads file:PATH and lxcat:PATH:N: `block` "
    "None for a two-column measurement (energy in eV, sigma in `units`), or a number (from 1) "
    "for that block of an LXCat file (sigma in m^2 there). The curve comes back in `units` "
    "(\"A2\", \"cm2\" or \"m2\"), with the file in its provenance. DataError when the file "
    "cannot be read, ValueError for a block it does not hold.";
inline constexpr const char* database_path =
    "The database directory, as a str that os.fsencode turns into its bytes.";

inline constexpr const char* fold =
    "The dialog's fold: sigma (on a uniform grid of energies in eV, rising, steps equal within "
    "1e-6 of the step) folded with a normalised Gaussian of FWHM `fwhm_meV` (1 to 999 meV), "
    "integrated by trapezoids from the first energy upwards and 100 steps past the last at its "
    "value. Returns a new array. ValueError naming the argument and the first bad index for "
    "values that are not finite, lengths that differ, energies that do not rise or a grid that "
    "is not uniform. A FWHM below twice the grid step is a RuntimeWarning: the kernel is "
    "normalised analytically, so such a fold inflates a flat curve by the factor it names.";
inline constexpr const char* rate =
    "Rate coefficients in cm^3/s, as sigmat-cli rate gives them: from a curve (its units "
    "respected) or from energy (eV, not falling, from 0) and sigma (A^2), sigma linear between "
    "the points and each interval integrated exactly. The distribution `eedf`: \"maxwell\" "
    "(default), \"druyvesteyn\" or a shape X from 0.5 to 5 at `T` (K, above 0 up to 10^6) or "
    "at `mean_energy` (eV, 0.001 to 1000), exactly one of them; or a pair of arrays (energy "
    "in eV, f in eV^-3/2; linear, held at its first value below its first energy, 0 above its "
    "last, normalised) without either. `below`: \"zero\" (sigma = 0 below the first energy) or "
    "\"wigner\" (sigma(E1) sqrt(E1/E)). The electron's mass unless `mass` (u) is given; an AED "
    "curve takes the reduced mass of its molecule's atoms and the Maxwellian at T only. "
    "Returns a float for one curve at a scalar (or one tabulated distribution), a 1-D array "
    "for a sequence, and for a scan a 2-D array with one column per pair. Tables that end "
    "too low, and regions below the table that the threshold law would make count, are "
    "RuntimeWarnings with sigmat-cli's texts.";
inline constexpr const char* fit_arrhenius =
    "An Arrhenius fit k = A (T / 300 K)^b exp(-Ea / T) by least squares on ln k over the "
    "temperatures `T` (K) with k > 0, as sigmat-cli rate --fit arrhenius makes it. Returns "
    "{\"A\": in the unit of k, \"b\", \"Ea_K\", \"T_K\": (lo, hi), \"max_deviation\": the "
    "largest |k_fit / k - 1|}. ValueError naming the argument and index of a value that is not "
    "finite or a temperature not above 0, for lengths that differ, and when fewer than 3 "
    "distinct temperatures have k > 0.";
inline constexpr const char* to_lxcat =
    "The LXCat block of a curve, as sigmat-cli curve --format lxcat writes it: ending with "
    "sigma = 0 one step past the last energy (Boltzmann solvers hold the last value beyond "
    "the table) unless `as_tabulated`. ValueError for the processes LXCat has no keyword for "
    "(AED, VE into the same or a lower level), scans and measured curves.";

} // namespace sigmat::python::doc
