// An electron energy distribution function as a Boltzmann solver writes it: a text table
// whose first number column is the energy (eV) and whose other number columns hold EEDFs in
// eV^(-3/2), among whatever else the solver writes (the anisotropy, say).
//
//   Energy (eV)   EEDF (eV-3/2)   Anisotropy      a line that does not start with a number
//   0.0000E+00    1.2345E+00      1.0E-02         is skipped (headers, titles, blank lines)
//   1.0000E-02    1.2301E+00      1.1E-02
//
// Cells split at runs of blanks and tabs, or, on a line with a comma, at commas. Number
// columns are counted among the cells that are numbers, from 1 (the energy). A UTF-8
// byte-order mark at the start is skipped; CR LF line ends read like LF.
//
// Every row that starts with a number must hold each column asked for; the energies rise
// from row to row (equal neighbours are a step of f) from 0 or above; the distribution's
// values are finite and not negative.
#pragma once

#include "store/error.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace sigmat::curves {

struct EedfColumns {
    std::vector<double> energy_ev;
    // One per column asked for, in the order asked, each as long as energy_ev.
    std::vector<std::vector<double>> values;
};

// `columns` are 1-based among the number columns, each 2 or more. `file_name` names the file
// in an error.
[[nodiscard]] store::Result<EedfColumns> read_eedf_columns(std::string_view text,
                                                           std::string_view file_name,
                                                           std::span<const std::int32_t> columns);

} // namespace sigmat::curves
