#include "curves/state_curves.h"

#include "numerics/convolution.h"
#include "store/paths.h"

namespace sigmat::curves {

StateFile state_file(store::FileSystem& files, std::string_view db, const CurveSelector& selector) {
    StateFile f;
    switch (selector.kind) {
    case CurveKind::dea:
    case CurveKind::thermal:
        f.path = store::state_file_path(files, db, "DA", selector.molecule, selector.v, selector.j);
        f.kind = store::DataFileKind::dea;
        f.column = 2;
        break;
    case CurveKind::ve:
        f.path = store::state_file_path(files, db, "VE", selector.molecule, selector.v, selector.j);
        f.kind = store::DataFileKind::ve;
        f.column = selector.vf + 2;
        break;
    case CurveKind::aed:
        f.path = store::aed_state_file_path(files, db, selector.molecule, selector.j);
        f.kind = store::DataFileKind::aed_state;
        f.column = selector.vf + 3;
        break;
    case CurveKind::aed_total:
        f.path = store::aed_total_file_path(files, db, selector.molecule);
        f.kind = store::DataFileKind::aed_total;
        f.column = 2;
        break;
    }
    return f;
}

void fold_table(store::CrossSectionTable& table, std::int32_t fwhm_mev) {
    const double fwhm_ev = fwhm_mev * 0.001;
    for (std::int32_t c = 2; c <= table.columns; ++c)
        numerics::convolve_with_resolution(fwhm_ev, table.column(1), table.column(c));
}

store::Read<Curve> state_curve(store::FileSystem& files, std::string_view db,
                               const CurveSelector& selector) {
    store::Read<Curve> result;
    const StateFile file = state_file(files, db, selector);
    store::Read<store::CrossSectionTable> read =
        store::read_cross_section_table(files, file.path, file.kind);
    if (!read.ok) {
        result.error = std::move(read.error);
        return result;
    }
    const store::CrossSectionTable& table = read.value;
    if (file.column < 2 || file.column > table.columns) {
        result.error = store::data_error(file.path, file.kind == store::DataFileKind::dea ? 9 : 8,
                                         store::cannot_read_message);
        return result;
    }
    Curve& curve = result.value;
    const auto energies = table.column(1);
    const auto values = table.column(file.column);
    curve.energy.assign(energies.begin(), energies.end());
    curve.sigma.assign(values.begin(), values.end());
    if (selector.fwhm_mev)
        numerics::convolve_with_resolution(*selector.fwhm_mev * 0.001, curve.energy, curve.sigma);
    curve.provenance.database = std::string(db);
    curve.provenance.source_files.push_back(file.path);
    const auto threshold = static_cast<std::size_t>(file.column - 2);
    if (threshold < table.thresholds.size())
        curve.provenance.threshold_ev = table.thresholds[threshold];
    curve.provenance.fwhm_mev = selector.fwhm_mev;
    result.ok = true;
    return result;
}

} // namespace sigmat::curves
