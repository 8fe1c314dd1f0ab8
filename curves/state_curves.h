// The state-resolved cross sections of a database: DEA, VE, AED into (v', J) and total AED,
// each read from its data file onto the file's grid and optionally folded.
#pragma once

#include "curves/curve.h"
#include "store/data_files.h"
#include "store/error.h"
#include "store/file_system.h"

#include <cstdint>
#include <optional>
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
// The dialog's fold normalises its Gaussian analytically, not over the grid: a width below
// twice the grid step samples the peak only, and a flat curve comes out larger by a factor K
// (x9.39 at 1 meV FWHM on a 10 meV grid). The results stay as the dialog has always given them;
// a warning says so: "FWHM 1 meV is below twice the grid step (10 meV): a flat curve comes
// out ×9.39", nothing for a fold at least twice the step or a grid of fewer than two points.
[[nodiscard]] std::optional<std::string> narrow_fold_warning(double fwhm_mev,
                                                             std::span<const double> energy);
// K: the middle of a flat curve of 1 folded at `fwhm_mev` on a grid of `step_mev`.
[[nodiscard]] double flat_fold_factor(double fwhm_mev, double step_mev);

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
