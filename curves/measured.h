// A measured (or any other outside) curve that a user puts beside the database's: a text file
// of rows "energy sigma", the energy in eV, sigma in whatever units the caller says.
//
//   # Beam experiment, 300 K          '#' starts a comment, on a line of its own or after a row
//   0.50   1.2e-18                    cells split at blanks and tabs ...
//   0.60,  2.5e-18                    ... or, on a line with a comma, at commas
//
// Blank lines are skipped and CR LF line ends read like LF. A row holds at least two cells;
// cells after the second (an uncertainty, say) are not read. Energies must rise strictly from
// row to row; every value read must be a finite number.
#pragma once

#include "store/error.h"

#include <istream>
#include <string_view>
#include <vector>

namespace sigmat::curves {

struct MeasuredCurve {
    std::vector<double> energy_ev;
    std::vector<double> sigma;
};

struct MeasuredRead {
    bool ok = false;
    MeasuredCurve curve;    // at least one row when ok
    store::DataError error; // when !ok: the faulty line, or line 0 for a file without rows
};

// Reads the whole stream; `file_name` only names the file in an error.
[[nodiscard]] MeasuredRead read_measured_curve(std::istream& in, std::string_view file_name);

} // namespace sigmat::curves
