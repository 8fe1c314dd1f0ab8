// The plot jobs: a checked request in, files, a plotter started on a script, or one message
// out.
//
// A job trusts its request to be within the ranges below (the front end reads and checks the
// user's input and shows its messages); it checks everything that lies on disk: the work
// directory, the database files, the `data` folder, the old result. Relative directories are
// taken as the dialog has always taken them on a first press: the work directory relative
// to `Directories::base` (the folder Sigmat was started from), the database and gnuplot
// directories relative to the work directory.
#pragma once

#include "curves/curve.h"
#include "curves/selector.h"
#include "jobs/job_host.h"
#include "store/plot_scripts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sigmat::jobs {

using store::ProcessKind;

inline constexpr std::string_view error_caption = "Error processing command";

// The plotter's executable inside the configured gnuplot directory.
#ifdef _WIN32
inline constexpr std::string_view plotter_executable = "wgnuplot.exe";
#else
inline constexpr std::string_view plotter_executable = "gnuplot";
#endif

struct Directories {
    std::string database; // each up to its last non-blank character
    std::string work;
    std::string gnuplot;
    std::string base; // what a relative work directory is taken from
};

// How the script is worded: the data style ("l ", "p ", "lp") and the gnuplot 4 wording
// ("set style data") or the older one ("set data style"), and the view.
struct ScriptStyle {
    std::string data_style = "l ";
    bool gnuplot_v4 = true;
    store::View view;
};

struct EnergyRange {
    bool on = false;
    double from = 0.0, to = 0.0; // eV, written into the plot command as typed
};

// What one press of a Plot button asks for: the curve (process, molecule, states,
// temperatures and FWHM, as the curves library names a curve; within the ranges of
// curves/curve.h), the energy range, the directories and the script's wording.
struct PlotRequest {
    curves::CurveSelector curve;
    EnergyRange range;
    Directories dirs;
    ScriptStyle style;
};

enum class JobOutcome {
    plotted,        // the plotter ran and ended without an error
    plotter_failed, // files written; the plotter could not start or reported an error
    stopped,        // ended with a message before the plotter
};

// The single cross section (dea, ve, aed, aed_total).
JobOutcome plot_single(JobHost& host, const PlotRequest& request);
// The thermal average (thermal).
JobOutcome plot_thermal(JobHost& host, const PlotRequest& request);

} // namespace sigmat::jobs
