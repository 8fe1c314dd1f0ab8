#include "app/plot_inputs.h"

#include "app/resources/main_dialog_description.h"
#include "curves/coverage.h"
#include "store/number_fields.h"

#include <climits>
#include <cstdio>

namespace sigmat::app {
namespace {

using platform::Platform;

void show_error(Platform& p, std::string_view message) {
    p.show_message(jobs::error_caption, message);
}

// How reading one input from the dialog ended: a value, a failure with its message, or a
// control whose text could not be had (the press then ends silently).
enum class Read { ok, failed, silent };

// The molecule code from list 1013, without its trailing blanks; "Select the molecule." when
// the list's text begins with a blank.
bool read_molecule(Platform& p, std::string& molecule) {
    std::string text;
    if (!p.get_text(id::molecule_list, text))
        return false;
    if (text.empty() || text.front() == ' ') {
        show_error(p, "Select the molecule.");
        return false;
    }
    text.resize(3, ' ');
    molecule = std::string(store::trim_right(text.substr(0, 3)));
    return true;
}

Read read_whole(Platform& p, int control, std::int32_t& value) {
    std::string text;
    if (!p.get_text(control, text))
        return Read::silent;
    auto item = store::read_whole_item(text);
    if (!item.ok())
        return Read::failed;
    value = item.value;
    return Read::ok;
}

Read read_real(Platform& p, int control, double& value) {
    std::string text;
    if (!p.get_text(control, text))
        return Read::silent;
    auto item = store::read_real_item(text);
    if (!item.ok())
        return Read::failed;
    value = item.value;
    return Read::ok;
}

// A whole number from `control` within lowest..highest, else `message`.
bool read_whole_checked(Platform& p, int control, std::int32_t lowest, std::int32_t highest,
                        std::string_view message, std::int32_t& value) {
    const Read r = read_whole(p, control, value);
    if (r == Read::silent)
        return false;
    if (r == Read::failed || value < lowest || value > highest) {
        show_error(p, message);
        return false;
    }
    return true;
}

// Whether a failed input shows its message (a Plot button) or not (the comparison's reading of
// what a Plot button would plot).
enum class Messages { shown, quiet };

// The energy range, read only when switched on: "Set the electron energy range.".
bool read_range(Platform& p, const PlotSettings& s, jobs::EnergyRange& range,
                Messages messages = Messages::shown) {
    range.on = s.useEnergyRange;
    if (!range.on)
        return true;
    Read r = read_real(p, id::energy_min, range.from);
    if (r == Read::ok)
        r = read_real(p, id::energy_max, range.to);
    if (r == Read::failed && messages == Messages::shown)
        show_error(p, "Set the electron energy range.");
    return r == Read::ok;
}

// The FWHM, read only when the resolution is on: whole meV within the three digits of the
// file names, else "Set the resolution.".
bool read_fwhm(Platform& p, const PlotSettings& s, std::optional<std::int32_t>& fwhm,
               Messages messages = Messages::shown) {
    if (!s.useResolution)
        return true;
    std::int32_t value = 0;
    const Read r = read_whole(p, id::fwhm, value);
    if (r == Read::silent)
        return false;
    if (r == Read::failed || value < curves::fwhm_lowest_mev || value > curves::fwhm_highest_mev) {
        if (messages == Messages::shown)
            show_error(p, "Set the resolution.");
        return false;
    }
    fwhm = value;
    return true;
}

// The held settings a job needs, and the wording of radio button 1034 ("4") as it is now.
void fill_common(Platform& p, PlotSettings& s, jobs::Directories& dirs, jobs::ScriptStyle& style) {
    dirs.database = used_directory(s.databaseDir);
    dirs.work = used_directory(s.workDir);
    dirs.gnuplot = used_directory(s.gnuplotDir);
    dirs.base = s.startupDir;
    bool v4 = s.gnuplotV4;
    if (p.get_checked(id::version4, v4))
        s.gnuplotV4 = v4;
    style.data_style = s.dataStyle;
    style.gnuplot_v4 = s.gnuplotV4;
    style.view = s.view;
}

} // namespace

void DialogJobHost::show_error(std::string_view message) {
    platform_.show_message(jobs::error_caption, message);
}

bool DialogJobHost::ask_recalculate() {
    return platform_.ask_yes_no("Old data file found",
                                "Recalculate old data file found in your work directory?");
}

void DialogJobHost::set_waiting(bool on) {
    platform_.set_enabled(id::wait_label, on);
    platform_.flush();
}

process::PlotterResult DialogJobHost::start_plotter(const std::string& directory,
                                                    const std::string& program,
                                                    const std::string& script) {
    const std::string waiting = headline_.empty()
                                    ? std::string(plot_window_note)
                                    : headline_ + ". " + std::string(plot_window_note);
    platform_.set_status(waiting, warning_, detail_.empty() ? status_ : detail_);
    const process::PlotterResult result = platform_.start_plotter(directory, program, script);
    show_status();
    return result;
}

void DialogJobHost::show_status() {
    platform_.set_status(status_, warning_, detail_);
}

AverageStatus average_status(const curves::Curve& average) {
    const curves::ThermalReport report = curves::thermal_report(average);
    AverageStatus s;
    s.text = report.states;
    for (std::size_t c = 0; c < report.pairs.size(); ++c) {
        const curves::PairCoverage& pair = report.pairs[c];
        s.text += "; " + pair.text;
        if (!pair.warning || s.warning)
            continue;
        s.warning = true;
        const auto estimate = curves::curve_coverage(average, c);
        char held[32];
        std::snprintf(held, sizeof held, "%.2f",
                      100.0 * (1.0 - (estimate ? estimate->share_not_held : 0.0)));
        s.headline = std::string(held) + " % of the population is in the average";
    }
    if (s.warning) {
        s.detail = s.text;
        s.text = s.headline + "; " + s.detail;
    }
    return s;
}

void DialogJobHost::report_average(const curves::Curve& average) {
    AverageStatus s = average_status(average);
    status_ = std::move(s.text);
    detail_ = std::move(s.detail);
    headline_ = std::move(s.headline);
    warning_ = s.warning;
    show_status();
}

void DialogJobHost::report_not_found(const std::string& path) {
    status_ = "Looked for " + path;
    detail_.clear();
    headline_.clear();
    warning_ = false;
    show_status();
}

std::optional<jobs::PlotRequest> read_single_request(Platform& p, PlotSettings& s) {
    jobs::PlotRequest r;
    curves::CurveSelector& c = r.curve;
    c.kind = curves::ProcessKind::aed_total;
    bool on = false;
    if (p.get_checked(id::dea, on) && on)
        c.kind = curves::ProcessKind::dea;
    else if (p.get_checked(id::ve, on) && on)
        c.kind = curves::ProcessKind::ve;
    else if (p.get_checked(id::aed, on) && on)
        c.kind = curves::ProcessKind::aed;
    if (!read_molecule(p, c.molecule))
        return std::nullopt;
    constexpr std::int32_t any_low = INT32_MIN, any_high = INT32_MAX;
    bool ok = true;
    switch (c.kind) {
    case curves::ProcessKind::dea:
    case curves::ProcessKind::ve:
        // A state that does not fit two digits has no file: "Data file not found." later.
        ok = read_whole_checked(p, id::vib_initial, any_low, any_high,
                                "Select the initial vibrational state of the molecule.", c.v) &&
             read_whole_checked(p, id::rot_initial, any_low, any_high,
                                "Select the initial rotational state of the molecule.", c.j) &&
             read_range(p, s, r.range) &&
             (c.kind != curves::ProcessKind::ve ||
              read_whole_checked(p, id::vib_final, 0, curves::ve_final_highest,
                                 "Select the final vibrational state of the molecule.", c.vf)) &&
             read_fwhm(p, s, c.fwhm_mev);
        break;
    case curves::ProcessKind::aed:
        ok = read_whole_checked(p, id::vib_final, 0, curves::aed_final_highest,
                                "Select the final vibrational state of the molecule.", c.vf) &&
             read_whole_checked(p, id::rot_initial, any_low, any_high,
                                "Select the rotational state of the molecule.", c.j) &&
             read_range(p, s, r.range) && read_fwhm(p, s, c.fwhm_mev);
        break;
    case curves::ProcessKind::aed_total:
    case curves::ProcessKind::thermal:
        ok = read_range(p, s, r.range) && read_fwhm(p, s, c.fwhm_mev);
        break;
    }
    if (!ok)
        return std::nullopt;
    fill_common(p, s, r.dirs, r.style);
    return r;
}

std::optional<jobs::PlotRequest> read_thermal_request(Platform& p, PlotSettings& s) {
    jobs::PlotRequest r;
    curves::CurveSelector& c = r.curve;
    c.kind = curves::ProcessKind::thermal;
    // Temperatures are whole kelvins within the four digits of the file names; 0 K is the
    // zero-temperature limit.
    if (!read_molecule(p, c.molecule) || !read_range(p, s, r.range) ||
        !read_whole_checked(p, id::temp_vib, 0, curves::temperature_highest_k,
                            "Set the vibrational temperature", c.temperatures.tv_k) ||
        !read_whole_checked(p, id::temp_rot, 0, curves::temperature_highest_k,
                            "Set the rotational temperature", c.temperatures.tj_k) ||
        !read_fwhm(p, s, c.fwhm_mev))
        return std::nullopt;
    fill_common(p, s, r.dirs, r.style);
    return r;
}

std::optional<std::pair<double, double>> current_range(Platform& p, const PlotSettings& s) {
    jobs::EnergyRange range;
    if (!read_range(p, s, range, Messages::quiet) || !range.on || !(range.from < range.to))
        return std::nullopt;
    return std::pair{range.from, range.to};
}

std::optional<std::int32_t> current_fwhm(Platform& p, const PlotSettings& s) {
    std::optional<std::int32_t> fwhm;
    if (!read_fwhm(p, s, fwhm, Messages::quiet))
        return std::nullopt;
    return fwhm;
}

void on_plot_single(Platform& p, PlotSettings& s, store::FileSystem& files, platform::Event event) {
    if (event != platform::Event::clicked)
        return;
    p.set_status("", false);
    if (auto request = read_single_request(p, s)) {
        DialogJobHost host(p, files);
        jobs::plot_single(host, *request);
    }
}

void on_plot_thermal(Platform& p, PlotSettings& s, store::FileSystem& files,
                     platform::Event event) {
    if (event != platform::Event::clicked)
        return;
    p.set_status("", false);
    if (auto request = read_thermal_request(p, s)) {
        DialogJobHost host(p, files);
        jobs::plot_thermal(host, *request);
    }
}

} // namespace sigmat::app
