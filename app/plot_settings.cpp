#include "app/plot_settings.h"

namespace sigmat::app {

store::SettingsValues settings_values(const PlotSettings& settings) {
    return {settings.databaseDir, settings.workDir, settings.gnuplotDir, settings.gnuplotV4,
            settings.dataStyle};
}

void apply_settings_values(PlotSettings& settings, const store::SettingsValues& values) {
    settings.databaseDir = values.databaseDir;
    settings.workDir = values.workDir;
    settings.gnuplotDir = values.gnuplotDir;
    settings.gnuplotV4 = values.gnuplotV4;
    settings.dataStyle = values.dataStyle;
}

} // namespace sigmat::app
