// The one record through which the user's choices reach the plot jobs. Only the held
// fields live here; the control-backed values (molecule, process, states, energies,
// FWHM, temperatures) are read from the dialog's controls by each job when it runs.
#pragma once

#include "jobs/plot_jobs.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sigmat::app {

// Directory texts are held up to 256 characters; longer texts are cut.
inline constexpr std::size_t directory_capacity = 256;

// A held directory text and the part of it that is used as a path: up to its last
// non-blank character, or a single blank when the text is all blank.
std::string cut_directory(std::string_view text);
std::string used_directory(std::string_view text);

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
    jobs::ViewOptions view;
};

} // namespace sigmat::app
