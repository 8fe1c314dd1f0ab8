// The state-resolved cross sections of a database: DEA, VE, AED into (v', J) and total AED,
// each read from its data file onto the file's grid and optionally folded.
#pragma once

#include "curves/curve.h"
#include "store/data_files.h"
#include "store/error.h"
#include "store/file_system.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace sigmat::curves {

// The data file of a state-resolved curve and its layout.
struct StateFile {
    std::string path; // as spelt on disk where it exists (names match ignoring case)
    store::ProcessKind kind = store::ProcessKind::dea;
    std::int32_t column = 2; // the table column that holds the curve
};

// Where the curve of `selector` (any kind but thermal) lies in the database `db`.
StateFile state_file(store::FileSystem& files, std::string_view db, const CurveSelector& selector);

// Folds `values` on the grid `energy` with a Gaussian of `fwhm_mev` meV, in place (a table of
// one point stays as it is). A table the fold refuses (energies that do not rise, a value that
// is not finite) is a data error naming `path`.
[[nodiscard]] store::Status fold_values(std::span<const double> energy, std::span<double> values,
                                        std::int32_t fwhm_mev, std::string_view path);
// What a fold of arbitrary tables (a user's) needs: energies and values of equal lengths, all
// finite, energies rising on a uniform grid (steps equal within 1e-6 of the first: the fold
// takes every interval as wide as the last one). A usage error naming the argument otherwise.
[[nodiscard]] store::Status fold_input(std::span<const double> energy,
                                       std::span<const double> values);

// fold_values on every cross-section column of `table`.
[[nodiscard]] store::Status fold_table(store::CrossSectionTable& table, std::int32_t fwhm_mev,
                                       std::string_view path);

// The curve of `selector` (any kind but thermal): its column of the file's table on the file's
// grid, folded when the selector has a FWHM. A missing file gives store::not_found_message; a
// column beyond the file's columns store::cannot_read_message at the thresholds line.
store::Result<Curve> state_curve(store::FileSystem& files, std::string_view db,
                                 const CurveSelector& selector);

} // namespace sigmat::curves
