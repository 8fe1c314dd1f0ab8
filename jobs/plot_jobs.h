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

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sigmat::jobs {

// The process of the single-cross-section box; its code is also a folder and file-name part
// of the database ("DA", "VE", "AD").
enum class ProcessKind { dea, ve, aed, aed_total };
std::string_view process_code(ProcessKind kind); // "DA", "VE", "AD", "AT"

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

// The View menu: log axes and the unit of the cross-section axis. Off (the default), the
// scripts are what they have always been; each option changes only its own lines.
struct ViewOptions {
    bool log_energy = false; // "set logscale x"; a range's lower bound at or below 0 becomes
                             // the first positive energy of the plotted file
    bool log_sigma = false;  // "set logscale y"
    curves::SigmaUnit unit = curves::SigmaUnit::a2; // other units: the column scaled, the
                                                    // y label naming the unit
    friend bool operator==(const ViewOptions&, const ViewOptions&) = default;
};

// How the script is worded: the data style ("l ", "p ", "lp") and the gnuplot 4 wording
// ("set style data") or the older one ("set data style"), and the view.
struct ScriptStyle {
    std::string data_style = "l ";
    bool gnuplot_v4 = true;
    ViewOptions view;
};

struct EnergyRange {
    bool on = false;
    double from = 0.0, to = 0.0; // eV, written into the plot command as typed
};

// DEA or VE from (v, J), VE into vf (0..97); AED into (vf, J) (vf 0..96); total AED.
struct SingleRequest {
    ProcessKind process = ProcessKind::dea;
    std::string molecule; // the code without trailing blanks
    std::int32_t v = 0, j = 0, vf = 0;
    EnergyRange range;
    std::optional<std::int32_t> fwhm_mev; // 1..999 when the resolution is on
    Directories dirs;
    ScriptStyle style;
};

// DEA of a thermal gas at Tv and TJ (0..9999 K).
struct ThermalRequest {
    std::string molecule;
    curves::TemperaturePair temperatures;
    EnergyRange range;
    std::optional<std::int32_t> fwhm_mev;
    Directories dirs;
    ScriptStyle style;
};

enum class JobOutcome {
    plotted,        // the plotter ran and ended without an error
    plotter_failed, // files written; the plotter could not start or reported an error
    stopped,        // ended with a message before the plotter
};

JobOutcome plot_single(JobHost& host, const SingleRequest& request);
// The curve that a single-cross-section request plots, as the curves library names it.
curves::CurveSelector curve_selector(const SingleRequest& request);
JobOutcome plot_thermal(JobHost& host, const ThermalRequest& request);

} // namespace sigmat::jobs
