#include "app/dialog_help.h"

#include "app/application.h"
#include "app/resources/main_dialog_description.h"
#include "curves/curve.h"
#include "curves/export.h"
#include "jobs/plot_jobs.h"
#include "process/plotter_process.h"
#include "store/number_fields.h"
#include "store/paths.h"

#include <cstddef>

namespace sigmat::app {

// The README, built into the program (generated from README.md when the build is configured).
extern const unsigned char readme_bytes[];
extern const std::size_t readme_size;

namespace {

std::string n(std::int32_t value) {
    return std::to_string(value);
}

std::string molecule_name(const Application& app) {
    const auto& codes = app.catalogue.codes;
    const auto k = static_cast<std::size_t>(app.settings.moleculeIndex - 1);
    return k < codes.size() ? std::string(store::trim_right(codes[k])) : std::string("?");
}

// The highest value of a spin as the catalogue bounds it now.
std::int32_t highest(platform::Platform* p, int spin) {
    int lo = 0, hi = 0;
    if (p != nullptr)
        p->get_spin_range(spin, lo, hi);
    return hi;
}

std::string tooltip_of(int control, const Application& app, platform::Platform* p) {
    const std::int32_t m = app.settings.moleculeIndex;
    const std::string mol = molecule_name(app);
    const std::string vib_max = n(app.catalogue.vib_max(m));
    switch (control) {
    case id::molecule_list:
        return "Molecule: the molecules that the database's index.dat lists";
    case id::dea:
        return "DEA: dissociative electron attachment from the initial state (\u03bd, J)";
    case id::ve:
        return "VE: vibrational excitation from (\u03bd, J) into the final vibrational state "
               "\u03bd\u2032";
    case id::aed:
        return "AED: associative electron detachment into the final state (\u03bd\u2032, J)";
    case id::aed_total:
        return "AED total: associative electron detachment summed over all final states";
    case id::vib_initial:
    case id::vib_initial_spin:
        return "Initial vibrational state \u03bd (DEA, VE): a whole number from 0 to " + vib_max +
               " for " + mol;
    case id::rot_initial:
    case id::rot_initial_spin:
        return "Rotational state J (initial for DEA and VE, final for AED): a whole number from "
               "0 to " +
               n(p != nullptr ? highest(p, id::rot_initial_spin) : app.catalogue.rot_max(m, 0)) +
               " for " + mol + " at the present \u03bd";
    case id::vib_final:
    case id::vib_final_spin:
        return "Final vibrational state \u03bd\u2032 (VE, AED): a whole number from 0 to " +
               vib_max + " for " + mol;
    case id::plot_single:
        return "Plot the cross section of the chosen process and states (Enter)";
    case id::energy_range:
        return "Plot only the electron energies between the two bounds beside it";
    case id::energy_min:
        return "Lowest electron energy of the plot, eV (a number, e.g. 0.5)";
    case id::energy_max:
        return "Highest electron energy of the plot, eV (a number above the lowest, e.g. 3)";
    case id::resolution:
        return "Fold the cross section with a Gaussian of the FWHM beside it: a finite "
               "electron-energy resolution";
    case id::fwhm:
        return "FWHM of the resolution: a whole number of meV from " + n(curves::fwhm_lowest_mev) +
               " to " + n(curves::fwhm_highest_mev);
    case id::temp_vib:
        return "Vibrational temperature Tv: a whole number of K from 0 to " +
               n(curves::temperature_highest_k) +
               " (0 keeps only \u03bd = 0); Enter plots the average";
    case id::temp_rot:
        return "Rotational temperature TJ: a whole number of K from 0 to " +
               n(curves::temperature_highest_k) + " (0 keeps only J = 0); Enter plots the average";
    case id::plot_thermal:
        return "Plot DEA averaged over a thermal gas at Tv and TJ; the status line then lists the "
               "states that entered and the share of the population they hold";
    case id::wait_label:
        return "Shown while a result is computed";
    case id::database_dir:
        return "Database directory: the folder with index.dat and a folder per molecule "
               "(a relative path is taken from the work directory)";
    case id::work_dir:
        return "Work directory: the scripts are written here and the results into its folder "
               "data";
    case id::gnuplot_dir:
        return "gnuplot directory: the folder of the gnuplot program; when it holds none, "
               "gnuplot is looked for on PATH";
    case id::version4:
        return "gnuplot 4 and later (scripts say \"set style data\")";
    case id::version_older:
        return "gnuplot older than 4 (scripts say \"set data style\")";
    case id::style_lines:
        return "Draw the curves with lines (with points too when both are ticked)";
    case id::style_points:
        return "Draw the curves with points (with lines too when both are ticked)";
    case id::save_setup:
        return "Save the three directories, the gnuplot version and the data style in Sigmat.ini";
    case id::exit_button:
        return "End Sigmat (the setup is saved only by Save setup; comparison plots stay open)";
    default:
        return {};
    }
}

} // namespace

std::string tooltip_text(int control, const Application& application) {
    return tooltip_of(control, application, nullptr);
}

void show_state_tooltips(platform::Platform& p, const Application& app) {
    for (int control : {id::vib_initial, id::vib_initial_spin, id::rot_initial,
                        id::rot_initial_spin, id::vib_final, id::vib_final_spin})
        p.set_tooltip(control, tooltip_of(control, app, &p));
}

void show_tooltips(platform::Platform& p, const Application& app) {
    for (const platform::ControlDescription& c : main_dialog_description().controls)
        if (c.id != platform::no_id)
            p.set_tooltip(c.id, tooltip_of(c.id, app, &p));
}

std::string_view readme_text() {
    return {reinterpret_cast<const char*>(readme_bytes), readme_size};
}

std::string guide_section(std::string_view readme) {
    constexpr std::string_view heading = "## Using Sigmat";
    std::size_t start = readme.find(heading);
    if (start == std::string_view::npos)
        return std::string(readme);
    std::size_t end = readme.find("\n## ", start + heading.size());
    return std::string(readme.substr(start, end == std::string_view::npos ? readme.size() - start
                                                                          : end + 1 - start));
}

std::string about_text(platform::Platform& p, const Application& app) {
    const PlotSettings& s = app.settings;
    const std::string work = store::resolve_path(s.startupDir, used_directory(s.workDir));
    const std::string configured =
        store::join_path(used_directory(s.gnuplotDir), jobs::plotter_executable);
    const std::string found = process::resolve_plotter_program(work, configured);
    std::string text = "Sigmat " + std::string(curves::program_version()) + "\n\n" +
                       "Electron\u2013molecule collision cross sections (DEA, VE, AED), folded, "
                       "averaged over a thermal gas and plotted with gnuplot.\n\n" +
                       "Toolkit: " + p.toolkit() + "\n" + "gnuplot that Plot runs: ";
    if (found.empty())
        text += "none found (neither " + configured + " nor " +
                std::string(jobs::plotter_executable) + " on PATH)";
    else
        text += found;
    text += "\n\nMIT licence.";
    return text;
}

} // namespace sigmat::app
