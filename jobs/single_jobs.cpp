// The single-cross-section jobs: DEA, VE, state-resolved AED and total AED. Without a
// simulated resolution the script points the plotter at the database file itself; with
// one, the whole table is read onto its grid, every cross-section column is folded with
// the Gaussian, and the script points at the result file in the `data` folder.
#include "app/resources/main_dialog_description.h"
#include "jobs/plot_jobs.h"
#include "numerics/convolution.h"
#include "store/database_files.h"
#include "store/number_fields.h"
#include "store/result_files.h"

#include <climits>
#include <fstream>

namespace sigmat::jobs {
namespace {

namespace id = app::id;
using store::format_i;

// The files and texts of one job, once its inputs are known.
struct SingleJob {
    store::DataFileKind kind = store::DataFileKind::dea;
    std::string input_path;  // the database file, as spelt on disk
    std::string result_name; // inside the data folder (resolution only)
    std::string title_line;  // first line of the result file
    std::string script;
    std::string plot_command;
};

// Steps S8 to S12 with a simulated resolution, S11 and S12 without.
void run_single_job(platform::Platform& platform, app::PlotSettings& settings, const Switches& s,
                    const SingleJob& job) {
    // S7: the database file must open; nothing else is tested here.
    if (!store::data_file_exists(job.input_path)) {
        show_error(platform, "Data file not found.");
        return;
    }
    if (!settings.useResolution) {
        if (write_script(platform, settings, job.script, job.plot_command))
            launch_plotter(platform, settings, job.script);
        return;
    }
    if (!prepare_data_folder(platform, settings))
        return;
    const std::string result = data_relative(job.result_name);
    bool recompute = true;
    if (file_exists(result))
        recompute = ask_recalculate(platform);
    if (recompute) {
        auto out = platform.create_file(result);
        if (!out) {
            show_write_error(platform, work_data_path(settings, job.result_name));
            return;
        }
        std::ifstream in(job.input_path, std::ios::binary);
        if (!in.is_open()) {
            out.reset(); // the new result file stays behind, empty
            show_error(platform, "Data file not found.");
            return;
        }
        set_wait_indicator(platform, true);
        store::TableRead read = store::read_cross_section_table(in, job.kind, job.input_path);
        in.close();
        if (!read.ok) {
            set_wait_indicator(platform, false);
            show_read_error(platform, job.input_path);
            return;
        }
        store::CrossSectionTable& table = read.table;
        for (std::int32_t c = 2; c <= table.columns; ++c)
            numerics::convolve_with_resolution(s.fwhm_ev, table.column(1), table.column(c));
        bool written = store::write_result_file(*out, job.title_line, s.fwhm_mev, table);
        if (written) {
            out->flush();
            written = static_cast<bool>(*out);
        }
        out.reset();
        if (!written) {
            set_wait_indicator(platform, false);
            show_write_error(platform, work_data_path(settings, job.result_name));
            return;
        }
    }
    bool script_ok = write_script(platform, settings, job.script, job.plot_command);
    set_wait_indicator(platform, false);
    if (script_ok)
        launch_plotter(platform, settings, job.script);
}

} // namespace

void plot_single_cross_section(platform::Platform& platform, app::PlotSettings& settings,
                               ProcessKind kind) {
    const bool ve = kind == ProcessKind::ve;
    std::string mol;
    if (!read_molecule_checked(platform, mol))
        return;
    constexpr std::int32_t any_low = INT32_MIN, any_high = INT32_MAX;
    std::int32_t v = 0, j = 0, vf = 0;
    Switches s;
    // v' names a column (v' + 2, written in two characters) and a two-digit file name.
    if (!read_whole_checked(platform, id::vib_initial, any_low, any_high,
                            "Select the initial vibrational state of the molecule.", v) ||
        !read_whole_checked(platform, id::rot_initial, any_low, any_high,
                            "Select the initial rotational state of the molecule.", j) ||
        !read_range(platform, settings, s) ||
        (ve && !read_whole_checked(platform, id::vib_final, 0, 97,
                                   "Select the final vibrational state of the molecule.", vf)) ||
        !read_fwhm(platform, settings, s))
        return;
    if (!enter_work_directory(platform, settings))
        return;

    const std::string pc(process_code(kind));
    SingleJob job;
    job.kind = ve ? store::DataFileKind::ve : store::DataFileKind::dea;
    job.input_path =
        store::database_file_path(app::used_directory(settings.databaseDir), pc, mol, v, j);
    const std::string vv = format_i(v, 2, 2), jj = format_i(j, 2, 2), ff = format_i(vf, 2, 2);
    const std::string fff = format_i(s.fwhm_mev, 3, 3);
    const std::string range = store::range_text(settings.useEnergyRange, s.e_from, s.e_to);
    const std::string state = mol + "(" + format_i(v, 2) + "," + format_i(j, 2) + ")";
    const std::string title =
        ve ? "VE, " + state + "->(" + format_i(vf, 2) + "," + format_i(j, 2) + ")"
           : "DEA, " + state;
    const std::string col = ve ? format_i(vf + 2, 2) : std::string("2");
    const std::string stem =
        ve ? mol + "_VE" + vv + "-" + ff + "J" + jj : mol + "_DA" + vv + "J" + jj;
    if (!settings.useResolution) {
        job.script = stem + ".plt";
        job.plot_command =
            "plot " + range + " '" + job.input_path + "' u 1:" + col + " t '" + title + "'";
    } else {
        job.result_name = mol + "_" + pc + vv + "J" + jj + "FWHM" + fff + ".dat";
        job.title_line = "# " + mol + ", cross section of the " + (ve ? "VE" : "DEA") +
                         " process with changed resolution.";
        job.script = stem + "FWHM" + fff + ".plt";
        job.plot_command = "plot " + range + " '" + work_data_path(settings, job.result_name) +
                           "'u 1:" + col + " t '" + title + ", FWHM " + format_i(s.fwhm_mev, 3) +
                           "meV'";
    }
    run_single_job(platform, settings, s, job);
}

void plot_aed_state(platform::Platform& platform, app::PlotSettings& settings) {
    std::string mol;
    if (!read_molecule_checked(platform, mol))
        return;
    std::int32_t v = 0, j = 0;
    Switches s;
    // v names column v + 3, written in two characters, and a two-digit script name.
    if (!read_whole_checked(platform, id::vib_final, 0, 96,
                            "Select the final vibrational state of the molecule.", v) ||
        !read_whole_checked(platform, id::rot_initial, INT32_MIN, INT32_MAX,
                            "Select the rotational state of the molecule.", j) ||
        !read_range(platform, settings, s) || !read_fwhm(platform, settings, s))
        return;
    if (!enter_work_directory(platform, settings))
        return;

    const std::string jj = format_i(j, 2, 2), ff = format_i(v, 2, 2);
    const std::string fff = format_i(s.fwhm_mev, 3, 3);
    SingleJob job;
    job.kind = store::DataFileKind::aed_state;
    job.input_path = store::aed_state_file_path(app::used_directory(settings.databaseDir), mol, j);
    const std::string range = store::range_text(settings.useEnergyRange, s.e_from, s.e_to);
    const std::string acol = format_i(v + 3, 2);
    const std::string title = "AED -> " + mol + "(" + format_i(v, 2) + "," + format_i(j, 2) + ")";
    if (!settings.useResolution) {
        job.script = mol + "_AD" + ff + "J" + jj + ".plt";
        job.plot_command =
            "plot " + range + " '" + job.input_path + "' u 1:" + acol + " t '" + title + "'";
    } else {
        job.result_name = mol + "_adJ" + jj + "FWHM" + fff + ".dat";
        job.title_line = "# " + mol + ", cross section of the AED process with changed resolution.";
        job.script = mol + "_AD" + ff + "J" + jj + "FWHM" + fff + ".plt";
        job.plot_command = "plot " + range + " '" + work_data_path(settings, job.result_name) +
                           "' u 1:" + acol + " t '" + title + ", FWHM " + format_i(s.fwhm_mev, 3) +
                           " meV'";
    }
    run_single_job(platform, settings, s, job);
}

void plot_aed_total(platform::Platform& platform, app::PlotSettings& settings) {
    std::string mol;
    if (!read_molecule_checked(platform, mol))
        return;
    Switches s;
    if (!read_range(platform, settings, s) || !read_fwhm(platform, settings, s))
        return;
    if (!enter_work_directory(platform, settings))
        return;

    const std::string fff = format_i(s.fwhm_mev, 3, 3);
    SingleJob job;
    job.kind = store::DataFileKind::aed_total;
    // Found whatever its letter case; the plot command names it as it is spelt on disk.
    job.input_path = store::aed_total_file_path(app::used_directory(settings.databaseDir), mol);
    const std::string range = store::range_text(settings.useEnergyRange, s.e_from, s.e_to);
    if (!settings.useResolution) {
        job.script = mol + "_ADTotal.plt";
        job.plot_command =
            "plot " + range + " '" + job.input_path + "' u 1:2 t 'Total AED, " + mol + "'";
    } else {
        job.result_name = mol + "_adTotalFWHM" + fff + ".dat";
        job.title_line = "# " + mol + ", cross section of the AED process with changed resolution.";
        job.script = mol + "_ADTotalFWHM" + fff + ".plt";
        job.plot_command = "plot " + range + " '" + work_data_path(settings, job.result_name) +
                           "' u 1:2 t 'Total AED, " + mol + " FWHM " + format_i(s.fwhm_mev, 3) +
                           " meV'";
    }
    run_single_job(platform, settings, s, job);
}

} // namespace sigmat::jobs
