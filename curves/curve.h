// A cross-section curve computed from a database: energies, one or more columns of cross
// sections, and where the numbers came from.
//
// The kinds of curve:
//   dea        DEA from (v, J): the DEA file's one column
//   ve         VE from (v, J) into v': column v' + 2 of the VE file
//   aed        AED into (v', J): column v' + 3 of the file adJ{jj}.dat (column 2 is the sum
//              over the final levels in the files this database format comes with)
//   aed_total  total AED
//   thermal    DEA of a thermal gas at (Tv, TJ): the Boltzmann average of every state's DEA
//              cross section on the ground state's grid
// Each as the table on its own grid the way the reader reads it (grid points the file does
// not reach hold 0), optionally folded with a Gaussian of the given FWHM.
#pragma once

#include "store/process_kind.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sigmat::curves {

using store::ProcessKind;

// Input ranges that every front end keeps to: the FWHM fits the three digits of the result
// names, temperatures the four, final states the two-digit column of a plot command.
inline constexpr std::int32_t fwhm_lowest_mev = 1;
inline constexpr std::int32_t fwhm_highest_mev = 999;
inline constexpr std::int32_t temperature_highest_k = 9999;
inline constexpr std::int32_t ve_final_highest = 97;
inline constexpr std::int32_t aed_final_highest = 96;

struct TemperaturePair {
    std::int32_t tv_k = 0, tj_k = 0;
    friend bool operator==(const TemperaturePair&, const TemperaturePair&) = default;
};

struct CurveSelector {
    std::string molecule; // the code without trailing blanks
    ProcessKind kind = ProcessKind::dea;
    std::int32_t v = 0;           // dea, ve: initial vibrational state
    std::int32_t j = 0;           // dea, ve: initial rotational state; aed: the final J
    std::int32_t vf = 0;          // ve, aed: the final vibrational state
    TemperaturePair temperatures; // thermal
    std::optional<std::int32_t> fwhm_mev;
};

// A state that entered a temperature average, with its population weight in each column
// (before the division by their sum).
struct StateWeight {
    std::int32_t v = 0, j = 0;
    double level_energy_ev = 0.0;
    std::vector<double> weights;
    std::string file;
};

struct Provenance {
    std::string database;
    std::vector<std::string> source_files;
    std::optional<double> threshold_ev; // ve, aed: the file's threshold of the curve's column
    std::optional<std::int32_t> fwhm_mev;
    std::vector<TemperaturePair> temperatures; // thermal: one per column
    std::vector<StateWeight> states;           // thermal: the states that entered
    std::vector<double> weight_totals;         // thermal: the sum of the weights per column
};

struct Curve {
    std::vector<double> energy; // eV, ascending
    // Cross sections in A^2, column after column (column c holds sigma[c * n .. c * n + n)
    // for n energies): one column, or one per temperature pair of a scan.
    std::vector<double> sigma;
    std::size_t columns = 1;
    Provenance provenance;

    std::size_t points() const { return energy.size(); }
    const double* column(std::size_t c) const { return sigma.data() + c * energy.size(); }
};

} // namespace sigmat::curves
