// What a press of a Plot button does: the checks of the user's input in their fixed
// order, the work directory, the data folder, the old-result prompt, the wait indicator
// and the plotter start, and the dispatch to the job of the selected process.
#pragma once

#include "app/plot_settings.h"
#include "platform/platform.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace sigmat::jobs {

// The process of the single-cross-section box; its code is also a folder and file-name
// part of the database ("DA", "VE", "AD").
enum class ProcessKind { dea, ve, aed, aed_total };
std::string_view process_code(ProcessKind kind); // "DA", "VE", "AD", "AT"

// Button 30002: the single cross section of the selected process.
void on_plot_single(platform::Platform& platform, app::PlotSettings& settings,
                    platform::Event event);
// Button 30003: the temperature-averaged DEA cross section.
void on_plot_thermal(platform::Platform& platform, app::PlotSettings& settings,
                     platform::Event event);

// ---- Steps shared by every job ----

inline constexpr std::string_view error_caption = "Error processing command";

void show_error(platform::Platform& platform, std::string_view message);
bool ask_recalculate(platform::Platform& platform);
// Starts the plotter on `script` (relative to the work directory) and waits for it. A
// start failure or an error reported by the plotter is shown; returns true when the
// plotter ran and ended without an error.
bool launch_plotter(platform::Platform& platform, const app::PlotSettings& settings,
                    const std::string& script);
void set_wait_indicator(platform::Platform& platform, bool on);

// How reading one input from the dialog ended.
enum class Read { ok, failed, silent };

// Reads the molecule code (three characters, blank-padded) from list 1013.
Read read_molecule(platform::Platform& platform, std::string& code);
Read read_whole(platform::Platform& platform, int id, std::int32_t& value);
Read read_real(platform::Platform& platform, int id, double& value);

// Checked reads: each shows its message (or nothing, when the dialog failed to deliver
// the text) and returns false when the job ends there.
//
// The molecule code without its trailing blanks; "Select the molecule." when the list's
// text begins with a blank.
bool read_molecule_checked(platform::Platform& platform, std::string& molecule);
// A whole number from `id` within lowest..highest, else `message`.
bool read_whole_checked(platform::Platform& platform, int id, std::int32_t lowest,
                        std::int32_t highest, std::string_view message, std::int32_t& value);

// The inputs behind the two switches: the energy range and the resolution.
struct Switches {
    double e_from = 0.0, e_to = 0.0;
    std::int32_t fwhm_mev = 0;
    double fwhm_ev = 0.0;
};
// The energy range, read only when switched on: "Set the electron energy range.".
bool read_range(platform::Platform& platform, const app::PlotSettings& settings, Switches& s);
// The FWHM, read only when the resolution is on: whole meV from 1 to 999 (the three digits
// of the file names), else "Set the resolution.".
bool read_fwhm(platform::Platform& platform, const app::PlotSettings& settings, Switches& s);

// S6: the work directory becomes the current directory.
bool enter_work_directory(platform::Platform& platform, const app::PlotSettings& settings);
// S8: the `data` folder exists (entered and left, or made). Shows the message itself.
bool prepare_data_folder(platform::Platform& platform, const app::PlotSettings& settings);
bool file_exists(const std::string& path);

// A file name relative to the work directory inside its `data` folder, and the full path
// that a plot command names.
std::string data_relative(std::string_view name);
std::string work_data_path(const app::PlotSettings& settings, std::string_view name);

// "Cannot write the file." with the path below it.
void show_write_error(platform::Platform& platform, std::string_view path);
void show_read_error(platform::Platform& platform, std::string_view path);

// Writes the five-line script; shows "Cannot write the file." on failure.
bool write_script(platform::Platform& platform, app::PlotSettings& settings,
                  const std::string& script, std::string_view plot_command);

} // namespace sigmat::jobs
