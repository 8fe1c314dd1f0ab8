// What a press of a Plot button does in the dialog: the user's input read from the controls
// and checked in its fixed order, each failure shown with its message, then the job of the
// chosen process run on a request built from it.
#pragma once

#include "app/plot_settings.h"
#include "jobs/plot_jobs.h"
#include "platform/platform.h"
#include "store/file_system.h"

#include <optional>
#include <utility>

namespace sigmat::app {

// The job host of the dialog: its message boxes, its wait indicator (1039), its plotter
// start, its status line, and the files.
class DialogJobHost final : public jobs::JobHost {
  public:
    DialogJobHost(platform::Platform& platform, store::FileSystem& files)
        : platform_(platform), files_(files) {}
    void show_error(std::string_view message) override;
    bool ask_recalculate() override;
    void set_waiting(bool on) override;
    // While the plotter holds the dialog, the status line says how to go on (after the share of
    // the population of an average below 99 %); afterwards it shows the job's message again.
    process::PlotterResult start_plotter(const std::string& directory, const std::string& program,
                                         const std::string& script) override;
    store::FileSystem& files() override { return files_; }
    // The states of a temperature average and the share of the population they hold, on the
    // status line (average_status).
    void report_average(const curves::Curve& average) override;
    bool wants_average_report() const override { return true; }
    // "Looked for PATH".
    void report_not_found(const std::string& path) override;

  private:
    void show_status();

    platform::Platform& platform_;
    store::FileSystem& files_;
    std::string status_, detail_, headline_;
    bool warning_ = false;
};

inline constexpr std::string_view plot_window_note = "Close the plot window to go on";

// What the status line says about a temperature average: the states that entered and, per pair
// of temperatures, the share of the population they hold (`detail`, the tooltip). Below 99 %
// it is a warning and leads with that share (`headline`, "48.19 % of the population is in the
// average"), so that the number shows however narrow the window is.
struct AverageStatus {
    std::string text, detail, headline;
    bool warning = false;
};
[[nodiscard]] AverageStatus average_status(const curves::Curve& average);

// The single cross section of the selected process (button 30002): the first of DEA (1007),
// VE (1042), AED (1043) that is on, otherwise total AED. Nothing when a check failed (its
// message shown) or a control's text could not be read (silently).
std::optional<jobs::PlotRequest> read_single_request(platform::Platform& platform,
                                                     PlotSettings& settings);
// The temperature-averaged DEA (button 30003).
std::optional<jobs::PlotRequest> read_thermal_request(platform::Platform& platform,
                                                      PlotSettings& settings);

// The energy range (when it is on, both bounds read and the lower below the upper) and the
// FWHM (when the resolution is on and the field holds one in range) as a Plot button would read
// them, without showing a message: what the comparison takes from the dialog.
std::optional<std::pair<double, double>> current_range(platform::Platform& platform,
                                                       const PlotSettings& settings);
std::optional<std::int32_t> current_fwhm(platform::Platform& platform,
                                         const PlotSettings& settings);

// The buttons' click actions; any other event is ignored.
void on_plot_single(platform::Platform& platform, PlotSettings& settings, store::FileSystem& files,
                    platform::Event event);
void on_plot_thermal(platform::Platform& platform, PlotSettings& settings, store::FileSystem& files,
                     platform::Event event);

} // namespace sigmat::app
