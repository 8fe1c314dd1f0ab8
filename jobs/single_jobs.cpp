// The single-cross-section jobs: DEA, VE, state-resolved AED and total AED. Without a
// simulated resolution the script points the plotter at the database file itself; with
// one, the whole table is read onto its grid, every cross-section column is folded with
// the Gaussian, and the script points at the result file in the `data` folder.
#include "curves/state_curves.h"
#include "jobs/job_steps.h"
#include "store/number_fields.h"
#include "store/paths.h"
#include "store/plot_scripts.h"
#include "store/result_files.h"

namespace sigmat::jobs {
namespace {

using store::format_i;

// The names and texts of one job, once its inputs are known.
struct Names {
    std::string script;      // in the work directory
    std::string result;      // in its data folder (resolution only)
    std::string title_line;  // first line of the result file
    std::string column;      // the plotted column, as the plot command writes it
    std::string title;       // the plot's title, without the FWHM part
    std::string fwhm_title;  // appended to the title with a resolution
    bool blank_before_using; // a blank between the result file's name and "u"
};

Names names_of(const curves::CurveSelector& r) {
    Names n;
    const std::string& mol = r.molecule;
    const std::string jj = format_i(r.j, 2, 2), ff = format_i(r.vf, 2, 2);
    const std::string fff = r.fwhm_mev ? format_i(*r.fwhm_mev, 3, 3) : std::string();
    const std::string fwhm = r.fwhm_mev ? format_i(*r.fwhm_mev, 3) : std::string();
    const std::string with_fwhm = r.fwhm_mev ? "FWHM" + fff : std::string();
    const std::string changed = " process with changed resolution.";
    switch (r.kind) {
    case ProcessKind::dea:
    case ProcessKind::thermal:
    case ProcessKind::ve: {
        const bool ve = r.kind == ProcessKind::ve;
        const std::string vv = format_i(r.v, 2, 2);
        const std::string state = mol + "(" + format_i(r.v, 2) + "," + format_i(r.j, 2) + ")";
        n.title = ve ? "VE, " + state + "->(" + format_i(r.vf, 2) + "," + format_i(r.j, 2) + ")"
                     : "DEA, " + state;
        n.column = ve ? format_i(r.vf + 2, 2) : std::string("2");
        n.script = (ve ? mol + "_VE" + vv + "-" + ff + "J" + jj : mol + "_DA" + vv + "J" + jj) +
                   with_fwhm + ".plt";
        n.result = mol + "_" + std::string(store::process_code(r.kind)) + vv + "J" + jj +
                   with_fwhm + ".dat";
        n.title_line = "# " + mol + ", cross section of the " + (ve ? "VE" : "DEA") + changed;
        n.fwhm_title = ", FWHM " + fwhm + "meV";
        n.blank_before_using = false;
        break;
    }
    case ProcessKind::aed:
        n.title = "AED -> " + mol + "(" + format_i(r.vf, 2) + "," + format_i(r.j, 2) + ")";
        n.column = format_i(r.vf + 3, 2);
        n.script = mol + "_AD" + ff + "J" + jj + with_fwhm + ".plt";
        n.result = mol + "_adJ" + jj + with_fwhm + ".dat";
        n.title_line = "# " + mol + ", cross section of the AED" + changed;
        n.fwhm_title = ", FWHM " + fwhm + " meV";
        n.blank_before_using = true;
        break;
    case ProcessKind::aed_total:
        n.title = "Total AED, " + mol;
        n.column = "2";
        n.script = mol + "_ADTotal" + with_fwhm + ".plt";
        n.result = mol + "_adTotal" + with_fwhm + ".dat";
        n.title_line = "# " + mol + ", cross section of the AED" + changed;
        n.fwhm_title = " FWHM " + fwhm + " meV";
        n.blank_before_using = true;
        break;
    }
    return n;
}

} // namespace

JobOutcome plot_single(JobHost& host, const PlotRequest& r) {
    const auto places = steps::enter(host, r.dirs);
    if (!places)
        return JobOutcome::stopped;
    store::FileSystem& files = host.files();
    const curves::StateFile input = curves::state_file(files, places->database, r.curve);
    // The database file must be a readable regular file; nothing else is tested here.
    const store::PathInfo info = files.stat(input.path);
    if (info.kind != store::PathKind::regular || !info.readable) {
        host.show_error(store::not_found_message);
        host.report_not_found(input.path);
        return JobOutcome::stopped;
    }
    const Names n = names_of(r.curve);
    const store::View& view = r.style.view;

    if (!r.curve.fwhm_mev) {
        const std::string range = steps::range_in_script(host, r.range, r.style.view, input.path);
        const auto file =
            steps::quoted_path(host, steps::database_path_in_script(r.dirs, *places, input.path));
        if (!file)
            return JobOutcome::stopped;
        const auto title = steps::quoted_path(host, n.title);
        if (!title)
            return JobOutcome::stopped;
        const std::string command = "plot " + range + " " + *file + " u " +
                                    store::using_columns(n.column, view) + " t " + *title;
        std::string script;
        store::append_plot_script(script, r.style.data_style, r.style.gnuplot_v4, command, view);
        if (!steps::write_file(host, store::join_path(places->work, n.script), script))
            return JobOutcome::stopped;
        return steps::launch(host, r.dirs, *places, n.script);
    }

    const std::string result_path =
        store::join_path(store::join_path(places->work, "data"), n.result);
    const auto file = steps::quoted_path(host, result_path);
    const auto title = file ? steps::quoted_path(host, n.title + n.fwhm_title) : std::nullopt;
    if (!title || !steps::data_folder(host, *places))
        return JobOutcome::stopped;
    if (!steps::keep_old_result(host, result_path)) {
        host.set_waiting(true);
        store::Result<store::CrossSectionTable> read =
            store::read_cross_section_table(files, input.path, input.kind);
        if (!read) {
            host.set_waiting(false);
            steps::show_read_failure(host, read.error());
            return JobOutcome::stopped;
        }
        if (store::Status folded = curves::fold_table(*read, *r.curve.fwhm_mev, input.path);
            !folded) {
            host.set_waiting(false);
            steps::show_read_failure(host, folded.error());
            return JobOutcome::stopped;
        }
        std::string text;
        store::append_result_file(text, n.title_line, *r.curve.fwhm_mev, *read);
        if (!steps::write_file(host, result_path, text, true))
            return JobOutcome::stopped;
    }
    const std::string range = steps::range_in_script(host, r.range, r.style.view, result_path);
    const std::string command = "plot " + range + " " + *file + (n.blank_before_using ? " " : "") +
                                "u " + store::using_columns(n.column, view) + " t " + *title;
    std::string script;
    store::append_plot_script(script, r.style.data_style, r.style.gnuplot_v4, command, view);
    // The indicator is greyed after the script, also when the old result was kept and it
    // was never shown.
    if (!steps::write_file(host, store::join_path(places->work, n.script), script, true))
        return JobOutcome::stopped;
    host.set_waiting(false);
    return steps::launch(host, r.dirs, *places, n.script);
}

} // namespace sigmat::jobs
