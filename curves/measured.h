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

#include <cstddef>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::curves {

struct MeasuredCurve {
    std::vector<double> energy_ev;
    std::vector<double> sigma;
};

// Reads the whole stream; `file_name` only names the file in an error.
[[nodiscard]] store::Result<MeasuredCurve> read_measured_curve(std::istream& in,
                                                               std::string_view file_name);

// A measurement beside a folded theory curve. The fold (numerics/convolution.h) takes every
// interval as wide as the table's last one, so a measurement on an uneven grid is first put
// on an even one: the smallest step between its energies, from its first energy up to its
// last grid point not above its last energy, each value interpolated linearly between the two
// measured points around it. Then, with a FWHM, it is folded like the database's curves.
//
// An evenly spaced measurement (steps equal within a relative 1e-6) keeps its points.
inline constexpr std::size_t resampled_points_limit = 1'000'000;

[[nodiscard]] bool evenly_spaced(const std::vector<double>& energy_ev);

struct PreparedMeasurement {
    MeasuredCurve curve;
    bool resampled = false;
};

// A data error when the even grid would exceed the limit.
[[nodiscard]] store::Result<PreparedMeasurement>
prepare_measurement(const MeasuredCurve& measured, std::optional<std::int32_t> fwhm_mev);

} // namespace sigmat::curves
