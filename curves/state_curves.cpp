#include "curves/state_curves.h"

#include "numerics/convolution.h"
#include "store/paths.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace sigmat::curves {

StateFile state_file(store::FileSystem& files, std::string_view db, const CurveSelector& selector) {
    StateFile f;
    switch (selector.kind) {
    case ProcessKind::dea:
    case ProcessKind::thermal:
        f.path = store::state_file_path(files, db, "DA", selector.molecule, selector.v, selector.j);
        f.kind = store::ProcessKind::dea;
        f.column = 2;
        break;
    case ProcessKind::ve:
        f.path = store::state_file_path(files, db, "VE", selector.molecule, selector.v, selector.j);
        f.kind = store::ProcessKind::ve;
        f.column = selector.vf + 2;
        break;
    case ProcessKind::aed:
        f.path = store::aed_state_file_path(files, db, selector.molecule, selector.j);
        f.kind = store::ProcessKind::aed;
        f.column = selector.vf + 3;
        break;
    case ProcessKind::aed_total:
        f.path = store::aed_total_file_path(files, db, selector.molecule);
        f.kind = store::ProcessKind::aed_total;
        f.column = 2;
        break;
    }
    return f;
}

store::Status fold_values(std::span<const double> energy, std::span<double> values,
                          std::int32_t fwhm_mev, std::string_view path) {
    switch (numerics::convolve_with_resolution(fwhm_mev * 0.001, energy, values)) {
    case numerics::FoldStatus::folded:
    case numerics::FoldStatus::too_short:
        return {};
    case numerics::FoldStatus::sizes_differ:
        return store::usage_error("energies and cross sections differ in length");
    case numerics::FoldStatus::bad_width:
        return store::usage_error("the FWHM is not a positive number");
    case numerics::FoldStatus::bad_grid:
        return store::data_error(path, 0, "the energies do not rise: the table cannot be folded");
    case numerics::FoldStatus::not_finite:
        return store::data_error(path, 0,
                                 "a value is not a finite number: the table cannot be folded");
    }
    return {};
}

double flat_fold_factor(double fwhm_mev, double step_mev) {
    // Far enough from both ends that the fold's tails do not reach the middle.
    const auto half = static_cast<std::size_t>(std::ceil(8.0 * fwhm_mev / step_mev)) + 4;
    std::vector<double> energy(2 * half + 1), values(2 * half + 1, 1.0);
    for (std::size_t i = 0; i < energy.size(); ++i)
        energy[i] = 1.0 + static_cast<double>(i) * step_mev * 1e-3;
    if (numerics::convolve_with_resolution(fwhm_mev * 1e-3, energy, values) !=
        numerics::FoldStatus::folded)
        return 1.0;
    return values[half];
}

std::optional<std::string> narrow_fold_warning(double fwhm_mev, std::span<const double> energy) {
    if (energy.size() < 2)
        return std::nullopt;
    const double step_mev = (energy[energy.size() - 1] - energy[energy.size() - 2]) * 1e3;
    // A step read from the grid carries its rounding: twice the step itself is no warning.
    if (!(step_mev > 0.0) || !(fwhm_mev < 2.0 * step_mev * (1.0 - 1e-9)))
        return std::nullopt;
    char text[160];
    std::snprintf(text, sizeof text,
                  "FWHM %g meV is below twice the grid step (%.6g meV): a flat curve comes out "
                  "\u00d7%.3g",
                  fwhm_mev, step_mev, flat_fold_factor(fwhm_mev, step_mev));
    return std::string(text);
}

store::Status fold_input(std::span<const double> energy, std::span<const double> values) {
    if (energy.size() != values.size())
        return store::usage_error("energy and sigma differ in length");
    for (std::size_t i = 0; i < energy.size(); ++i)
        if (!std::isfinite(energy[i]) || !std::isfinite(values[i]))
            return store::usage_error("the energies and sigma must be finite numbers");
    if (energy.size() >= 2) {
        const double step = energy[1] - energy[0];
        if (!(step > 0.0))
            return store::usage_error("the energies must rise");
        for (std::size_t i = 2; i < energy.size(); ++i)
            if (!(std::abs((energy[i] - energy[i - 1]) - step) <= 1e-6 * step))
                return store::usage_error(
                    "the energy grid is not uniform (steps differ by more than 1e-6 of the step)");
    }
    return {};
}

store::Status fold_table(store::CrossSectionTable& table, std::int32_t fwhm_mev,
                         std::string_view path) {
    for (std::int32_t c = 2; c <= table.columns; ++c)
        if (store::Status folded = fold_values(table.column(1), table.column(c), fwhm_mev, path);
            !folded)
            return folded;
    return {};
}

store::Result<Curve> state_curve(store::FileSystem& files, std::string_view db,
                                 const CurveSelector& selector) {
    const StateFile file = state_file(files, db, selector);
    store::Result<store::CrossSectionTable> read =
        store::read_cross_section_table(files, file.path, file.kind);
    if (!read)
        return std::move(read).error();
    const store::CrossSectionTable& table = *read;
    // The file's columns after the energy: v' = 0, 1, ... from column 2 (VE) or 3 (AED).
    const std::int32_t first_level = file.column - selector.vf;
    if (file.column > table.columns && file.column > first_level && table.columns >= first_level)
        return store::data_error(file.path, 0,
                                 std::string(store::final_levels_message) + "0 to " +
                                     std::to_string(table.columns - first_level) +
                                     "; v' = " + std::to_string(selector.vf) + " was asked");
    if (file.column < 2 || file.column > table.columns)
        return store::data_error(file.path, file.kind == store::ProcessKind::dea ? 9 : 8,
                                 store::cannot_read_message);
    Curve curve;
    const auto energies = table.column(1);
    const auto values = table.column(file.column);
    curve.energy.assign(energies.begin(), energies.end());
    curve.sigma.assign(values.begin(), values.end());
    if (selector.fwhm_mev)
        if (store::Status folded =
                fold_values(curve.energy, curve.sigma, *selector.fwhm_mev, file.path);
            !folded)
            return std::move(folded).error();
    curve.provenance.database = std::string(db);
    curve.provenance.source_files.push_back(file.path);
    const auto threshold = static_cast<std::size_t>(file.column - 2);
    if (threshold < table.thresholds.size())
        curve.provenance.threshold_ev = table.thresholds[threshold];
    curve.provenance.fwhm_mev = selector.fwhm_mev;
    return curve;
}

} // namespace sigmat::curves
