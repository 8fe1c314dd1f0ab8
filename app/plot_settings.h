// The one record through which the user's choices reach the plot jobs. Only the held
// fields live here; the control-backed values (molecule, process, states, energies,
// FWHM, temperatures) are read from the dialog's controls by each job when it runs.
#pragma once

#include "jobs/plot_jobs.h"
#include "store/settings_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sigmat::app {

using store::cut_directory;
using store::directory_capacity;
using store::used_directory;

struct PlotSettings {
    std::string startupDir;
    std::string userProfileDir;
    std::string databaseDir;
    std::string workDir;
    std::string gnuplotDir;
    bool gnuplotV4 = true;
    std::string dataStyle = "l "; // "l ", "p " or "lp": always two characters
    bool useEnergyRange = false;
    bool useResolution = false;
    std::int32_t moleculeIndex = 1; // 1-based position in the catalogue
    // The View menu; held for the session only (Sigmat.ini keeps its five lines).
    store::View view;
};

// The held fields of the settings, and back.
store::SettingsValues settings_values(const PlotSettings& settings);
void apply_settings_values(PlotSettings& settings, const store::SettingsValues& values);

} // namespace sigmat::app
