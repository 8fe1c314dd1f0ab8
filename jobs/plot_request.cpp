#include "jobs/plot_request.h"

#include "app/resources/main_dialog_description.h"
#include "jobs/plot_jobs.h"
#include "store/number_fields.h"
#include "store/result_files.h"

#include <filesystem>
#include <fstream>

namespace sigmat::jobs {

namespace id = app::id;
using platform::path_separator;

std::string_view process_code(ProcessKind kind) {
    switch (kind) {
    case ProcessKind::dea:
        return "DA";
    case ProcessKind::ve:
        return "VE";
    case ProcessKind::aed:
        return "AD";
    case ProcessKind::aed_total:
        return "AT";
    }
    return "DA";
}

void show_error(platform::Platform& platform, std::string_view message) {
    platform.show_message(error_caption, message);
}

bool ask_recalculate(platform::Platform& platform) {
    return platform.ask_yes_no("Old data file found",
                               "Recalculate old data file found in your work directory?");
}

void set_wait_indicator(platform::Platform& platform, bool on) {
    platform.set_enabled(id::wait_label, on);
    platform.flush();
}

bool launch_plotter(platform::Platform& platform, const app::PlotSettings& settings,
                    const std::string& script) {
    std::string program = app::used_directory(settings.gnuplotDir);
    if (program.back() != path_separator)
        program += path_separator;
    program += platform::plotter_executable;
    platform::PlotterResult result = platform.start_plotter(program, script);
    switch (result.status) {
    case platform::PlotterStatus::finished:
        return true;
    case platform::PlotterStatus::not_started:
        show_error(platform, "An error occured while calling gnuplot");
        return false;
    case platform::PlotterStatus::reported_error:
        show_error(platform, "gnuplot reported an error:\n" + result.error_output);
        return false;
    }
    return false;
}

Read read_molecule(platform::Platform& platform, std::string& code) {
    std::string text;
    if (!platform.get_text(id::molecule_list, text))
        return Read::silent;
    if (text.empty() || text.front() == ' ')
        return Read::failed;
    text.resize(3, ' ');
    code = text.substr(0, 3);
    return Read::ok;
}

Read read_whole(platform::Platform& platform, int control, std::int32_t& value) {
    std::string text;
    if (!platform.get_text(control, text))
        return Read::silent;
    auto item = store::read_whole_item(text);
    if (!item.ok())
        return Read::failed;
    value = item.value;
    return Read::ok;
}

Read read_real(platform::Platform& platform, int control, double& value) {
    std::string text;
    if (!platform.get_text(control, text))
        return Read::silent;
    auto item = store::read_real_item(text);
    if (!item.ok())
        return Read::failed;
    value = item.value;
    return Read::ok;
}

bool read_molecule_checked(platform::Platform& platform, std::string& molecule) {
    std::string code;
    Read r = read_molecule(platform, code);
    if (r == Read::failed)
        show_error(platform, "Select the molecule.");
    molecule = std::string(store::trim_right(code));
    return r == Read::ok;
}

bool read_whole_checked(platform::Platform& platform, int control, std::int32_t lowest,
                        std::int32_t highest, std::string_view message, std::int32_t& value) {
    Read r = read_whole(platform, control, value);
    if (r == Read::silent)
        return false;
    if (r == Read::failed || value < lowest || value > highest) {
        show_error(platform, message);
        return false;
    }
    return true;
}

bool read_range(platform::Platform& platform, const app::PlotSettings& settings, Switches& s) {
    if (!settings.useEnergyRange)
        return true;
    Read r = read_real(platform, id::energy_min, s.e_from);
    if (r == Read::ok)
        r = read_real(platform, id::energy_max, s.e_to);
    if (r == Read::failed)
        show_error(platform, "Set the electron energy range.");
    return r == Read::ok;
}

bool read_fwhm(platform::Platform& platform, const app::PlotSettings& settings, Switches& s) {
    if (!settings.useResolution)
        return true;
    if (!read_whole_checked(platform, id::fwhm, 1, 999, "Set the resolution.", s.fwhm_mev))
        return false;
    s.fwhm_ev = s.fwhm_mev * 0.001;
    return true;
}

bool enter_work_directory(platform::Platform& platform, const app::PlotSettings& settings) {
    if (platform.change_directory(app::used_directory(settings.workDir)))
        return true;
    show_error(platform, "Invalid work directory");
    return false;
}

bool prepare_data_folder(platform::Platform& platform, const app::PlotSettings& settings) {
    if (platform.change_directory("data"))
        return enter_work_directory(platform, settings);
    if (platform.make_directory("data"))
        return true;
    show_error(platform, "Cannot create the data directory in your work directory.");
    return false;
}

bool file_exists(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    return in.is_open();
}

std::string data_relative(std::string_view name) {
    std::string out = "data";
    out += path_separator;
    out += name;
    return out;
}

std::string work_data_path(const app::PlotSettings& settings, std::string_view name) {
    std::string out = app::used_directory(settings.workDir);
    out += path_separator;
    out += data_relative(name);
    return out;
}

void show_write_error(platform::Platform& platform, std::string_view path) {
    show_error(platform, "Cannot write the file.\n" + std::string(path));
}

void show_read_error(platform::Platform& platform, std::string_view path) {
    show_error(platform, "Cannot read the data file.\n" + std::string(path));
}

bool write_script(platform::Platform& platform, app::PlotSettings& settings,
                  const std::string& script, std::string_view plot_command) {
    bool v4 = settings.gnuplotV4;
    if (platform.get_checked(id::version4, v4))
        settings.gnuplotV4 = v4;
    auto out = platform.create_file(script);
    bool ok =
        out && store::write_plot_script(*out, settings.dataStyle, settings.gnuplotV4, plot_command);
    if (ok) {
        out->flush();
        ok = static_cast<bool>(*out);
    }
    out.reset();
    if (!ok)
        show_write_error(platform, script);
    return ok;
}

void on_plot_single(platform::Platform& platform, app::PlotSettings& settings,
                    platform::Event event) {
    if (event != platform::Event::clicked)
        return;
    // S2: the first of DEA, VE, AED that is on; otherwise AED total (1044 is not read).
    ProcessKind kind = ProcessKind::aed_total;
    bool on = false;
    if (platform.get_checked(id::dea, on) && on)
        kind = ProcessKind::dea;
    else if (platform.get_checked(id::ve, on) && on)
        kind = ProcessKind::ve;
    else if (platform.get_checked(id::aed, on) && on)
        kind = ProcessKind::aed;
    switch (kind) {
    case ProcessKind::dea:
    case ProcessKind::ve:
        plot_single_cross_section(platform, settings, kind);
        return;
    case ProcessKind::aed:
        plot_aed_state(platform, settings);
        return;
    case ProcessKind::aed_total:
        plot_aed_total(platform, settings);
        return;
    }
}

void on_plot_thermal(platform::Platform& platform, app::PlotSettings& settings,
                     platform::Event event) {
    if (event != platform::Event::clicked)
        return;
    plot_thermal_average(platform, settings);
}

} // namespace sigmat::jobs
