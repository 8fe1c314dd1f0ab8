// The jobs behind the two Plot buttons. Each reads its own inputs from the dialog when it
// runs, checks them in its fixed order, and ends with files on disk, a plotter started on
// a script, or one message.
#pragma once

#include "app/plot_settings.h"
#include "jobs/plot_request.h"
#include "platform/platform.h"

namespace sigmat::jobs {

// DEA from (v, J), or VE from (v, J) into v'.
void plot_single_cross_section(platform::Platform& platform, app::PlotSettings& settings,
                               ProcessKind kind);
// AED into the final state (v, J).
void plot_aed_state(platform::Platform& platform, app::PlotSettings& settings);
// Total AED.
void plot_aed_total(platform::Platform& platform, app::PlotSettings& settings);
// DEA of a thermal gas at Tv and TJ.
void plot_thermal_average(platform::Platform& platform, app::PlotSettings& settings);

} // namespace sigmat::jobs
