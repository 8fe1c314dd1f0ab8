#include "app/comparison.h"

#include "app/application.h"
#include "app/plot_inputs.h"
#include "app/resources/main_dialog_description.h"
#include "app/session_keeping.h"
#include "curves/rate.h"
#include "curves/selector.h"
#include "curves/state_curves.h"
#include "curves/thermal.h"
#include "jobs/job_steps.h"
#include "process/figure_file.h"
#include "store/number_fields.h"
#include "store/paths.h"

#include <algorithm>
#include <sstream>

namespace sigmat::app {
namespace {

using platform::Platform;

std::string file_name_of(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The dialog's directories as the jobs take them.
jobs::Directories directories_of(const PlotSettings& s) {
    jobs::Directories dirs;
    dirs.database = used_directory(s.databaseDir);
    dirs.work = used_directory(s.workDir);
    dirs.gnuplot = used_directory(s.gnuplotDir);
    dirs.base = s.startupDir;
    return dirs;
}

// Where a plot of the comparison runs: the work directory when it is a folder, else the
// start-up folder; and the plotter there, as the Plot buttons start it.
struct PlotterPlace {
    std::string directory;
    std::string program;
};
PlotterPlace plotter_place(const Application& app) {
    const jobs::Directories dirs = directories_of(app.settings);
    PlotterPlace place;
    place.directory = store::resolve_path(dirs.base, dirs.work);
    if (app.files->stat(place.directory).kind != store::PathKind::directory)
        place.directory = dirs.base;
    place.program = store::join_path(dirs.gnuplot, jobs::plotter_executable);
    return place;
}

// The database session on `folder` with the catalogue the dialog read at start-up.
curves::Database session(const Application& app, const std::string& folder) {
    return curves::Database(*app.files, folder, app.catalogue, true, {}, 1);
}

void show_error(Platform& p, std::string_view text) {
    p.show_message(jobs::error_caption, text);
}

store::SigmaUnit columns_unit(OutsideFormat format) {
    return format == OutsideFormat::columns_cm2  ? store::SigmaUnit::cm2
           : format == OutsideFormat::columns_m2 ? store::SigmaUnit::m2
                                                 : store::SigmaUnit::a2;
}

} // namespace

curves::Database dialog_database(const Application& app) {
    return session(app, used_directory(app.settings.databaseDir));
}

std::string curve_count(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " curve" : " curves");
}

store::SessionCurve kept_curve(const ComparedCurve& c) {
    store::SessionCurve kept;
    kept.label = c.label;
    if (c.file) {
        kept.kind = store::SessionCurve::Kind::file;
        kept.path = c.file->path;
        kept.block = c.file->block;
        kept.units = columns_unit(c.file->format);
        kept.fwhm_mev = c.file->fwhm_mev;
    } else {
        kept.selector = c.source;
        kept.database = c.database;
    }
    return kept;
}

std::optional<ComparedCurve> restored_curve(const Application& app,
                                            const store::SessionCurve& kept) {
    store::Result<curves::Database> opened =
        kept.database.empty() ? store::Result<curves::Database>(dialog_database(app))
                              : curves::Database::open(*app.files, kept.database);
    if (!opened)
        return std::nullopt;
    const curves::Database& db = *opened;
    std::optional<ComparedCurve> c;
    if (kept.kind == store::SessionCurve::Kind::file) {
        const OutsideFormat format =
            kept.block                            ? OutsideFormat::lxcat
            : kept.units == store::SigmaUnit::cm2 ? OutsideFormat::columns_cm2
            : kept.units == store::SigmaUnit::m2  ? OutsideFormat::columns_m2
                                                  : OutsideFormat::columns_a2;
        store::Result<ComparedCurve> read =
            outside_curve(db, kept.path, format, kept.block, kept.fwhm_mev);
        if (read)
            c = std::move(read).value();
    } else if (const store::Result<curves::CurveSelector> selector = db.selector(kept.selector)) {
        if (store::Result<curves::Curve> curve = db.curve(*selector)) {
            c = database_curve(*selector, std::move(curve).value());
            c->database = kept.database;
            if (selector->kind == curves::ProcessKind::thermal)
                c->note = average_status(c->curve).text;
        }
    }
    if (c)
        c->label = kept.label;
    return c;
}

void remove_curve(Comparison& list, std::size_t row) {
    if (row < list.curves.size())
        list.curves.erase(list.curves.begin() + static_cast<std::ptrdiff_t>(row));
}

void move_curve(Comparison& list, std::size_t row, std::size_t to) {
    if (row >= list.curves.size() || to >= list.curves.size() || row == to)
        return;
    ComparedCurve moved = std::move(list.curves[row]);
    list.curves.erase(list.curves.begin() + static_cast<std::ptrdiff_t>(row));
    list.curves.insert(list.curves.begin() + static_cast<std::ptrdiff_t>(to), std::move(moved));
}

void relabel_curve(Comparison& list, std::size_t row, std::string label) {
    if (row < list.curves.size())
        list.curves[row].label = std::move(label);
}

ComparedCurve database_curve(const curves::CurveSelector& selector, curves::Curve curve) {
    ComparedCurve c;
    c.label = curves::curve_title(selector);
    c.source = curves::selector_text(selector);
    c.curve = std::move(curve);
    c.selector = selector;
    return c;
}

store::Result<ComparedCurve> outside_curve(const curves::Database& db, const std::string& path,
                                           OutsideFormat format, std::optional<std::int32_t> block,
                                           std::optional<std::int32_t> fwhm_mev) {
    const bool lxcat = format == OutsideFormat::lxcat;
    store::Result<curves::OutsideCurve> read = db.measured(
        path, lxcat ? std::optional(block.value_or(1)) : std::nullopt, columns_unit(format));
    if (!read)
        return std::move(read).error();
    store::Result<curves::PreparedMeasurement> prepared =
        curves::prepare_measurement({read->energy, read->sigma}, fwhm_mev);
    if (!prepared)
        return store::data_error(path, 0, prepared.error().message);
    ComparedCurve c;
    c.source = path;
    c.label = read->label;
    c.file = FileOrigin{path, format, std::nullopt, fwhm_mev};
    if (lxcat) {
        c.source += ":" + std::to_string(read->block_number);
        c.block = std::move(read->block);
        c.file->block = read->block_number;
    }
    if (fwhm_mev)
        c.label += ", FWHM " + std::to_string(*fwhm_mev) + " meV";
    c.curve.energy = std::move(prepared->curve.energy_ev);
    c.curve.sigma = std::move(prepared->curve.sigma);
    c.curve.provenance.source_files = {path};
    c.curve.provenance.fwhm_mev = fwhm_mev;
    return c;
}

store::Figure comparison_figure(const std::vector<ComparedCurve>& list, const store::View& view,
                                std::optional<std::pair<double, double>> range) {
    store::Figure figure;
    figure.view = view;
    figure.range = range;
    const double factor = curves::from_a2(view.unit);
    for (const ComparedCurve& c : list) {
        store::FigureCurve f{c.label, c.curve.energy, {}};
        if (c.file)
            f.marks = store::measurement_marks(c.curve.energy.size());
        f.sigma.reserve(c.curve.energy.size());
        for (std::size_t i = 0; i < c.curve.energy.size(); ++i)
            f.sigma.push_back(c.curve.sigma[i] * factor);
        figure.curves.push_back(std::move(f));
    }
    return figure;
}

curves::DataTable comparison_table(const std::vector<ComparedCurve>& list, curves::SigmaUnit unit) {
    curves::DataTable table;
    table.provenance.push_back("sigmat " + std::string(curves::program_version()));
    curves::TableColumn number{"curve", {}}, energy{"E_eV", {}},
        sigma{"sigma_" + std::string(curves::unit_name(unit)), {}};
    const double factor = curves::from_a2(unit);
    for (std::size_t k = 0; k < list.size(); ++k) {
        const ComparedCurve& c = list[k];
        const std::string tag = "curve " + std::to_string(k + 1) + ": ";
        table.provenance.push_back(tag + c.label);
        std::vector<std::string> lines =
            curves::provenance_lines(c.curve, c.selector ? c.source : std::string());
        // The first line names the program, already said above.
        for (std::size_t i = 1; i < lines.size(); ++i)
            if (c.selector || lines[i].rfind("database:", 0) != 0)
                table.provenance.push_back(tag + lines[i]);
        for (std::size_t i = 0; i < c.curve.energy.size(); ++i) {
            number.values.push_back(static_cast<double>(k + 1));
            energy.values.push_back(c.curve.energy[i]);
            sigma.values.push_back(c.curve.sigma[i] * factor);
        }
    }
    table.y_unit = std::string(curves::unit_name(unit));
    table.columns = {std::move(number), std::move(energy), std::move(sigma)};
    return table;
}

LxcatText comparison_lxcat(const curves::Database& db, const std::vector<ComparedCurve>& list) {
    LxcatText out;
    std::ostringstream text;
    for (const ComparedCurve& c : list) {
        std::optional<curves::LxcatBlock> block;
        if (c.selector) {
            store::Result<curves::LxcatBlock> exported = db.lxcat(c.curve, *c.selector);
            if (exported)
                block = std::move(exported).value();
        } else if (c.block) {
            // A block read from a file goes back with the points shown (resampled, folded).
            block = c.block;
            block->energy_ev = c.curve.energy;
            block->sigma_m2.clear();
            for (double s : c.curve.sigma)
                block->sigma_m2.push_back(s * curves::m2_per_a2);
            if (c.curve.provenance.fwhm_mev)
                block->comments.push_back("folded by Sigmat with FWHM = " +
                                          std::to_string(*c.curve.provenance.fwhm_mev) + " meV");
            block->other_lines.clear();
        }
        if (!block || !curves::write_lxcat_block(text, *block))
            out.skipped.push_back(c.label);
    }
    out.text = text.str();
    return out;
}

std::optional<ComparedCurve> current_curve(Platform& p, Application& app, bool thermal) {
    const auto request =
        thermal ? read_thermal_request(p, app.settings) : read_single_request(p, app.settings);
    if (!request)
        return std::nullopt;
    const curves::CurveSelector& selector = request->curve;
    DialogJobHost host(p, *app.files);
    const auto places = jobs::steps::enter(host, request->dirs);
    if (!places)
        return std::nullopt;
    store::Result<curves::Curve> read = session(app, places->database).curve(selector);
    if (!read) {
        jobs::steps::show_read_failure(host, read.error());
        return std::nullopt;
    }
    ComparedCurve c = database_curve(selector, std::move(read).value());
    c.database = places->database;
    if (thermal)
        c.note = average_status(c.curve).text;
    return c;
}

// ---- the window's logic --------------------------------------------------------------------

std::vector<platform::ComparisonRow> ComparisonLogic::rows() const {
    std::vector<platform::ComparisonRow> out;
    for (const ComparedCurve& c : app_.comparison.curves)
        out.push_back({c.label, c.note.empty() ? c.source : c.source + "\n" + c.note});
    return out;
}

void ComparisonLogic::changed() {
    platform_.comparison_changed();
}

void ComparisonLogic::begin() {
    platform_.set_status("", false);
}

void ComparisonLogic::added(std::string_view label) {
    platform_.set_status("Added to the comparison: " + std::string(label) + " (" +
                             curve_count(app_.comparison.curves.size()) + ")",
                         false);
}

void ComparisonLogic::relabel(std::size_t row, std::string_view label) {
    begin();
    relabel_curve(app_.comparison, row, std::string(label));
    changed();
}

void ComparisonLogic::remove(std::size_t row) {
    begin();
    remove_curve(app_.comparison, row);
    changed();
}

void ComparisonLogic::move(std::size_t row, std::size_t to) {
    begin();
    move_curve(app_.comparison, row, to);
    changed();
}

void ComparisonLogic::clear() {
    begin();
    app_.comparison.curves.clear();
    platform_.set_status("The comparison is empty.", false);
    changed();
}

void ComparisonLogic::add_from_dialog(bool thermal) {
    begin();
    auto curve = current_curve(platform_, app_, thermal);
    if (!curve)
        return;
    app_.comparison.curves.push_back(std::move(*curve));
    added(app_.comparison.curves.back().label);
    changed();
}

void ComparisonLogic::add_file() {
    begin();
    platform::FileQuestion question;
    question.title = "Add a curve of your own";
    question.suggested = start_folder(app_, &store::SessionFolders::measurement, {});
    question.filters = {"Two columns: eV, cross section in \u00c5\u00b2 (*.txt *.dat *.csv *)",
                        "Two columns: eV, cross section in cm\u00b2 (*.txt *.dat *.csv *)",
                        "Two columns: eV, cross section in m\u00b2 (*.txt *.dat *.csv *)",
                        "LXCat file (*.txt *.lxcat *)"};
    const auto answer = platform_.ask_file(question);
    if (!answer)
        return;
    remember_folder(platform_, app_, &store::SessionFolders::measurement, answer->path);
    const auto format = static_cast<OutsideFormat>(std::min<std::size_t>(answer->filter, 3));
    const curves::Database db = session(app_, used_directory(app_.settings.databaseDir));
    const auto unreadable = [&](const store::DataError& error) {
        if (error.kind != store::ErrorKind::io)
            return false;
        show_error(platform_, std::string(store::cannot_read_message) + "\n" + answer->path);
        return true;
    };
    std::optional<std::int32_t> block;
    if (format == OutsideFormat::lxcat) {
        // An LXCat file of several processes: the user picks one.
        const store::Result<std::vector<curves::LxcatBlock>> blocks = db.lxcat_file(answer->path);
        if (!blocks && unreadable(blocks.error()))
            return;
        if (blocks && blocks->size() > 1) {
            std::vector<std::string> processes;
            for (const curves::LxcatBlock& b : *blocks)
                processes.push_back(std::string(curves::lxcat_keyword(b.kind)) + "  " + b.process);
            const auto chosen = platform_.ask_choice(
                "LXCat block", "The file holds several processes. Which one?", processes);
            if (!chosen)
                return;
            block = static_cast<std::int32_t>(*chosen + 1);
        }
    } else if (store::FileBytes bytes;
               app_.files->read(answer->path, bytes) != store::ReadStatus::ok) {
        show_error(platform_, std::string(store::cannot_read_message) + "\n" + answer->path);
        return;
    }
    std::optional<std::int32_t> fwhm;
    if (const auto dialog = current_fwhm(platform_, app_.settings)) {
        if (platform_.ask_yes_no("Fold the curve", "Fold " + file_name_of(answer->path) +
                                                       " with the dialog's resolution, FWHM " +
                                                       std::to_string(*dialog) + " meV?"))
            fwhm = dialog;
    }
    store::Result<ComparedCurve> read = outside_curve(db, answer->path, format, block, fwhm);
    if (!read) {
        if (!unreadable(read.error()))
            show_error(platform_, "Cannot read the curve.\n" + store::describe(read.error()));
        return;
    }
    app_.comparison.curves.push_back(std::move(read).value());
    added(app_.comparison.curves.back().label);
    changed();
}

void ComparisonLogic::plot_together() {
    begin();
    if (app_.comparison.curves.empty()) {
        show_error(platform_, "The comparison holds no curve: add one from the Compare menu.");
        return;
    }
    const store::Figure figure = comparison_figure(app_.comparison.curves, app_.settings.view,
                                                   current_range(platform_, app_.settings));
    const store::Result<std::string> script = store::figure_script(figure);
    if (!script) {
        show_error(platform_, "Cannot plot the comparison: " + script.error().message);
        return;
    }
    const PlotterPlace place = plotter_place(app_);
    // Not waited for: the dialog goes on taking input, and the window stays after Exit.
    const process::PlotterResult started =
        platform_.start_plotter_on_text(place.directory, place.program, *script, false);
    if (started.status == process::PlotterStatus::not_started)
        show_error(platform_, "An error occured while calling gnuplot");
}

std::optional<std::vector<ComparedCurve>> ComparisonLogic::curves_to_export() {
    if (!app_.comparison.curves.empty())
        return app_.comparison.curves;
    auto current = current_curve(platform_, app_, false);
    if (!current)
        return std::nullopt;
    return std::vector<ComparedCurve>{std::move(*current)};
}

void ComparisonLogic::export_figure() {
    begin();
    const auto list = curves_to_export();
    if (!list)
        return;
    const PlotterPlace place = plotter_place(app_);
    platform::FigureFileAnswer suggestion;
    suggestion.path = store::join_path(
        start_folder(app_, &store::SessionFolders::figure, place.directory), "sigmat-figure.png");
    suggestion.format.output = store::FigureOutput::png;
    const auto answer = platform_.ask_figure_file(suggestion);
    if (!answer)
        return;
    remember_folder(platform_, app_, &store::SessionFolders::figure, answer->path);
    store::Figure figure =
        comparison_figure(*list, app_.settings.view, current_range(platform_, app_.settings));
    figure.format = answer->format;
    const store::Status written = process::render_figure_file(
        figure, answer->path, [&](const std::string& directory, const std::string& text) {
            return platform_.start_plotter_on_text(directory, place.program, text, true);
        });
    if (!written) {
        show_error(platform_, "Cannot write the figure.\n" + answer->path + "\n" +
                                  store::describe(written.error()));
        return;
    }
    platform_.set_status("Figure written: " + answer->path, false);
}

void ComparisonLogic::export_data() {
    begin();
    const auto list = curves_to_export();
    if (!list)
        return;
    platform::FileQuestion question;
    question.save = true;
    question.title = "Export data";
    question.filters = {"CSV table (*.csv)", "LXCat file (*.txt)"};
    question.suggested = store::join_path(
        start_folder(app_, &store::SessionFolders::data, plotter_place(app_).directory),
        "sigmat-curves.csv");
    const auto answer = platform_.ask_file(question);
    if (!answer)
        return;
    remember_folder(platform_, app_, &store::SessionFolders::data, answer->path);
    std::string text;
    std::vector<std::string> skipped;
    if (answer->filter == 1) {
        LxcatText lxcat =
            comparison_lxcat(session(app_, used_directory(app_.settings.databaseDir)), *list);
        if (lxcat.text.empty()) {
            show_error(platform_, "None of the curves can be written as an LXCat block (AED, VE "
                                  "into the same or a lower level and two-column files cannot).");
            return;
        }
        text = std::move(lxcat.text);
        skipped = std::move(lxcat.skipped);
    } else {
        std::ostringstream out;
        curves::write_delimited(out, comparison_table(*list, app_.settings.view.unit), ',');
        text = out.str();
    }
    if (!app_.files->write(answer->path, text)) {
        show_error(platform_, "Cannot write the file.\n" + answer->path);
        return;
    }
    std::string status = "Data written: " + answer->path;
    if (!skipped.empty()) {
        status += " (not in LXCat: ";
        for (std::size_t i = 0; i < skipped.size(); ++i)
            status += (i ? "; " : "") + skipped[i];
        status += ")";
    }
    platform_.set_status(status, !skipped.empty());
}

} // namespace sigmat::app
