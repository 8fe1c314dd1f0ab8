// The result data files that the jobs write into the work directory's `data` folder.
//
// Written byte for byte in their fixed layouts, with the platform's line end. Energies in
// eV, cross sections in A^2, every number in ES10.4.
#pragma once

#include "store/data_files.h"

#include <cstdint>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace sigmat::store {

// Cross sections at or below this value (A^2) are not written as values of a result row.
inline constexpr double smallest_written_value = 1e-20;

// The common result file of a folded table:
//   the title line
//   "#"
//   "# FWHM = " I3 " meV"
//   "#"
//   one line per table row: the energy, then for each column 2..M one blank and the value.
// Values at or below 1e-20 after the last written value of a row are left out, so a row of
// zeros is its energy alone; one that stands before a written value is written as
// 0.0000E+00, so that every value stays in its own column.
void append_result_file(std::string& out, std::string_view title_line, std::int32_t fwhm_mev,
                        const CrossSectionTable& table);
// The same into a stream; false when the stream failed.
bool write_result_file(std::ostream& out, std::string_view title_line, std::int32_t fwhm_mev,
                       const CrossSectionTable& table);

// The temperature-averaged DEA result:
//   "# Temperature averaged DEA cross section to " {mol} " molecule"
//   "#"
//   "# Tv = " I4 " K, TJ = " I4 " K"
//   "# FWHM = " I3 " meV"                 (only with a resolution)
//   "#"
//   "# Energy   DEA c.s."
//   one row "energy cross-section" per grid point whose value is above 1e-20 (strictly).
struct ThermalResultHeader {
    std::string molecule; // without trailing blanks
    std::int32_t tv_k = 0, tj_k = 0;
    bool with_fwhm = false;
    std::int32_t fwhm_mev = 0;
};
void append_thermal_result(std::string& out, const ThermalResultHeader& header,
                           std::span<const double> energies, std::span<const double> values);

} // namespace sigmat::store
