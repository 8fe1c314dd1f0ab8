#include "curves/database.h"

#include "curves/eedf_file.h"
#include "curves/export.h"
#include "curves/measured.h"
#include "curves/state_curves.h"
#include "curves/thermal.h"
#include "store/number_fields.h"
#include "store/paths.h"

#include <cmath>
#include <sstream>

namespace sigmat::curves {
namespace {

std::string file_name_of(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The text of a user's file, without a UTF-8 byte-order mark at its start, or why it cannot be
// had.
store::Result<std::string> text_of(store::FileSystem& files, const std::string& path) {
    store::FileBytes bytes;
    if (files.read(path, bytes) != store::ReadStatus::ok)
        return store::io_error(path, path + ": cannot be read", 0);
    std::string_view text = bytes.text();
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    return std::string(text);
}

} // namespace

store::Result<Database> Database::open(store::FileSystem& files, std::string folder,
                                       unsigned threads) {
    if (files.stat(folder).kind != store::PathKind::directory)
        return store::io_error(folder, "the database directory " + folder + " is not a folder", 0);
    std::string path = store::find_in_tree(files, folder, {catalogue_file_name});
    const store::PathInfo info = files.stat(path);
    const bool present = info.kind == store::PathKind::regular;
    if (present && info.size > store::max_small_file_bytes)
        return store::data_error(path, 0, "larger than 1 MiB");
    store::StateCatalogue catalogue = store::load_catalogue(files, path);
    return Database(files, std::move(folder), std::move(catalogue), present, std::move(path),
                    threads);
}

Database::Database(store::FileSystem& files, std::string folder, store::StateCatalogue catalogue,
                   bool catalogue_file, std::string catalogue_path, unsigned threads)
    : files_(&files), folder_(std::move(folder)), catalogue_(std::move(catalogue)),
      catalogue_file_(catalogue_file), catalogue_path_(std::move(catalogue_path)),
      threads_(threads == 0 ? 1 : threads) {}

std::string Database::molecule_code(std::string_view given) const {
    for (const std::string& code : catalogue_.codes) {
        const std::string_view trimmed = store::trim_right(code);
        if (store::equal_ignoring_case(trimmed, given))
            return std::string(trimmed);
    }
    return std::string(given);
}

store::Result<CurveSelector> Database::selector(std::string_view text) const {
    store::Result<CurveSelector> read = parse_curve_selector(text);
    if (read)
        read->molecule = molecule_code(read->molecule);
    return read;
}

store::Result<std::vector<LevelRow>> Database::states(std::string_view molecule) const {
    std::vector<LevelRow> rows;
    for (std::size_t k = 0; k < catalogue_.codes.size(); ++k) {
        const std::string code(store::trim_right(catalogue_.codes[k]));
        if (!molecule.empty() && !store::equal_ignoring_case(code, molecule))
            continue;
        const auto index = static_cast<std::int32_t>(k + 1);
        for (std::int32_t v = 0; v <= catalogue_.vib_max(index); ++v)
            rows.push_back({code, v, catalogue_.rot_max(index, v)});
    }
    if (rows.empty())
        return store::data_error({}, 0, "the catalogue lists no molecule " + std::string(molecule));
    return rows;
}

store::Result<Curve> Database::curve(const CurveSelector& selector) const {
    if (selector.kind == ProcessKind::thermal)
        return thermal_curve(*files_, folder_, selector.molecule, {&selector.temperatures, 1},
                             selector.fwhm_mev, threads_);
    return state_curve(*files_, folder_, selector);
}

store::Result<Curve> Database::scan(std::string_view molecule,
                                    std::span<const TemperaturePair> pairs,
                                    std::optional<std::int32_t> fwhm_mev) const {
    ScanOptions options;
    options.request_limits = true;
    return thermal_curve(*files_, folder_, molecule_code(molecule), pairs, fwhm_mev, threads_,
                         options);
}

store::Result<RateTable> curve_rates(const Curve& curve,
                                     const std::optional<CurveSelector>& selector,
                                     std::span<const double> temperatures_k,
                                     std::optional<double> mass_u) {
    RateRequest request;
    request.values.assign(temperatures_k.begin(), temperatures_k.end());
    request.mass_u = mass_u;
    store::Result<Rates> rates = curve_rates(curve, selector, request);
    if (!rates)
        return std::move(rates).error();
    RateTable table;
    table.mass_u = rates->mass_u;
    const double top = curve.energy.empty() ? 0.0 : curve.energy.back();
    for (const RateRow& row : rates->rows)
        table.points.push_back({row.abscissa, row.k_cm3_s, maxwellian_tail(top, row.abscissa)});
    return table;
}

store::Result<LxcatBlock> Database::lxcat(const Curve& curve, const CurveSelector& selector,
                                          bool as_tabulated) const {
    return lxcat_block(curve, selector, molecule_code(selector.molecule),
                       newest_source(*files_, curve), as_tabulated);
}

store::Result<Database::LxcatSet> Database::lxcat_set(std::string_view molecule,
                                                      std::optional<std::int32_t> fwhm_mev,
                                                      bool as_tabulated) const {
    store::Result<std::vector<LevelRow>> levels = states(molecule);
    if (!levels)
        return std::move(levels).error();
    LxcatSet set;
    // The curve of a selector as a block, or nothing when its file is missing.
    const auto add = [&](const CurveSelector& selector) -> store::Result<bool> {
        const std::string path = state_file(*files_, folder_, selector).path;
        if (files_->stat(path).kind == store::PathKind::missing) {
            if (set.missing.empty() || set.missing.back() != path)
                set.missing.push_back(path);
            return false;
        }
        store::Result<Curve> read = curve(selector);
        if (!read)
            return std::move(read).error();
        store::Result<LxcatBlock> block = lxcat(*read, selector, as_tabulated);
        if (!block)
            return std::move(block).error();
        set.blocks.push_back(std::move(*block));
        if (set.sources.empty() || set.sources.back() != path)
            set.sources.push_back(path);
        return true;
    };
    for (const ProcessKind kind : {ProcessKind::dea, ProcessKind::ve})
        for (const LevelRow& level : *levels)
            for (std::int32_t j = 0; j <= level.j_max; ++j) {
                CurveSelector selector;
                selector.molecule = level.molecule;
                selector.kind = kind;
                selector.v = level.v;
                selector.j = j;
                selector.fwhm_mev = fwhm_mev;
                if (kind == ProcessKind::dea) {
                    if (store::Result<bool> added = add(selector); !added)
                        return std::move(added).error();
                    continue;
                }
                // VE: one block per final level above v, as many as the file has columns.
                const std::string path = state_file(*files_, folder_, selector).path;
                if (files_->stat(path).kind == store::PathKind::missing) {
                    set.missing.push_back(path);
                    continue;
                }
                store::Result<store::CrossSectionTable> table =
                    store::read_cross_section_table(*files_, path, store::ProcessKind::ve);
                if (!table)
                    return std::move(table).error();
                for (selector.vf = level.v + 1; selector.vf + 2 <= table->columns; ++selector.vf)
                    if (store::Result<bool> added = add(selector); !added)
                        return std::move(added).error();
            }
    return set;
}

store::Result<ThermalRates> Database::rates(std::string_view molecule,
                                            std::span<const TemperaturePair> pairs,
                                            const RateRequest& request) const {
    return thermal_rates(*files_, folder_, molecule_code(molecule), pairs, request, threads_, true);
}

store::Result<std::vector<LxcatBlock>> Database::lxcat_file(const std::string& path) const {
    store::Result<std::string> text = text_of(*files_, path);
    if (!text)
        return std::move(text).error();
    std::istringstream in(std::move(*text));
    return read_lxcat(in, path);
}

store::Result<std::vector<TabulatedEedf>>
Database::eedf_file(const std::string& path, std::span<const std::int32_t> columns) const {
    store::Result<std::string> text = text_of(*files_, path);
    if (!text)
        return std::move(text).error();
    store::Result<EedfColumns> read = read_eedf_columns(*text, path, columns);
    if (!read)
        return std::move(read).error();
    std::vector<TabulatedEedf> out;
    for (std::size_t c = 0; c < columns.size(); ++c)
        out.push_back({columns[c], read->energy_ev, std::move(read->values[c])});
    return out;
}

store::Result<OutsideCurve> Database::measured(const std::string& path,
                                               std::optional<std::int64_t> block,
                                               SigmaUnit columns_unit) const {
    OutsideCurve out;
    out.path = path;
    out.label = file_name_of(path);
    if (!block) {
        store::Result<std::string> text = text_of(*files_, path);
        if (!text)
            return std::move(text).error();
        std::istringstream in(std::move(*text));
        store::Result<MeasuredCurve> read = read_measured_curve(in, path);
        if (!read)
            return std::move(read).error();
        out.energy = std::move(read->energy_ev);
        const double factor = 1.0 / from_a2(columns_unit);
        for (double s : read->sigma)
            out.sigma.push_back(s * factor);
        return out;
    }
    store::Result<std::vector<LxcatBlock>> blocks = lxcat_file(path);
    if (!blocks)
        return std::move(blocks).error();
    if (blocks->empty())
        return store::data_error(path, 0, "the file holds no LXCat block");
    if (*block < 1 || static_cast<std::size_t>(*block) > blocks->size())
        // The path leads the sentence, so the error names no file of its own.
        return store::data_error({}, 0,
                                 path + " holds " + std::to_string(blocks->size()) +
                                     (blocks->size() == 1 ? " block" : " blocks") + "; block " +
                                     std::to_string(*block) + " was asked");
    LxcatBlock& b = (*blocks)[static_cast<std::size_t>(*block - 1)];
    out.energy = b.energy_ev;
    for (double s : b.sigma_m2)
        out.sigma.push_back(s / m2_per_a2);
    if (!b.process.empty())
        out.label = b.process;
    out.block_number = *block;
    out.block = std::move(b);
    return out;
}

store::Result<CheckReport> Database::check(std::string_view molecule) const {
    std::vector<ListedMolecule> listed;
    for (std::size_t k = 0; k < catalogue_.codes.size(); ++k) {
        const std::string code(store::trim_right(catalogue_.codes[k]));
        if (!molecule.empty() && !store::equal_ignoring_case(code, molecule))
            continue;
        ListedMolecule m{code, {}};
        const auto index = static_cast<std::int32_t>(k + 1);
        if (catalogue_file_)
            for (std::int32_t v = 0; v <= catalogue_.vib_max(index); ++v)
                m.j_max.push_back(catalogue_.rot_max(index, v));
        // Without index.dat, the built-in molecules that have a folder.
        if (catalogue_file_ || files_->stat(store::find_in_tree(*files_, folder_, {code})).kind ==
                                   store::PathKind::directory)
            listed.push_back(std::move(m));
    }
    if (listed.empty() && !molecule.empty())
        return store::data_error({}, 0, "the catalogue lists no molecule " + std::string(molecule));
    CheckReport report = check_database(*files_, folder_, listed, std::string(catalogue_file_name));
    if (!catalogue_file_)
        report.findings.insert(report.findings.begin(),
                               {true, catalogue_path_, 0,
                                "missing or malformed: the built-in list of eleven molecules "
                                "stands in"});
    return report;
}

} // namespace sigmat::curves
