#include "app/resources/main_dialog_description.h"

#include <array>

namespace sigmat::app {
namespace {

using platform::ControlDescription;
using platform::ControlKind;
using platform::no_id;
namespace st = platform;

// Radio groups run in table order from a control marked group_start to the next one.
constexpr std::array controls{
    // Group frames first, so that the controls inside them lie on top.
    ControlDescription{no_id, ControlKind::group_frame, "Single cross section", 6, 40, 169, 72, 0},
    ControlDescription{no_id, ControlKind::group_frame, "Temperature averaged DEA cross section",
                       180, 40, 169, 41, 0},
    ControlDescription{no_id, ControlKind::group_frame, "Setup", 6, 114, 342, 62, 0},

    ControlDescription{id::molecule_list, ControlKind::drop_list, "", 69, 12, 56, 79, 0},
    ControlDescription{id::dea, ControlKind::radio, "DEA", 121, 71, 27, 10, st::group_start},
    ControlDescription{id::ve, ControlKind::radio, "VE", 121, 81, 22, 9, 0},
    ControlDescription{id::aed, ControlKind::radio, "AED", 121, 89, 28, 11, 0},
    ControlDescription{id::aed_total, ControlKind::radio, "AED total", 121, 99, 42, 10, 0},
    ControlDescription{id::vib_initial, ControlKind::edit, "", 62, 60, 22, 12, st::align_right},
    ControlDescription{id::vib_initial_spin, ControlKind::spin, "", 83, 60, 7, 12, 0},
    ControlDescription{id::rot_initial, ControlKind::edit, "", 62, 75, 22, 12, st::align_right},
    ControlDescription{id::rot_initial_spin, ControlKind::spin, "", 83, 75, 7, 12, 0},
    ControlDescription{id::vib_final, ControlKind::edit, "", 62, 90, 22, 12, st::align_right},
    ControlDescription{id::vib_final_spin, ControlKind::spin, "", 83, 90, 7, 12, 0},
    ControlDescription{id::plot_single, ControlKind::default_push, "Plot", 113, 55, 50, 14, 0},
    ControlDescription{id::energy_range, ControlKind::check, "Electron energy range", 155, 6, 81,
                       10, 0},
    ControlDescription{id::energy_min, ControlKind::edit, "", 239, 5, 27, 12, st::align_right},
    ControlDescription{id::energy_max, ControlKind::edit, "", 272, 5, 27, 12, st::align_right},
    ControlDescription{id::resolution, ControlKind::check, "Simulate finite resolution", 155, 21,
                       81, 9, 0},
    ControlDescription{id::fwhm, ControlKind::edit, "", 239, 20, 27, 12,
                       st::align_right | st::starts_disabled},
    ControlDescription{id::temp_vib, ControlKind::edit, "", 236, 50, 38, 12, st::align_right},
    ControlDescription{id::temp_rot, ControlKind::edit, "", 236, 64, 38, 12, st::align_right},
    ControlDescription{id::plot_thermal, ControlKind::default_push, "Plot", 293, 56, 50, 14, 0},
    ControlDescription{id::wait_label, ControlKind::static_text, "Wait, please...", 218, 93, 85, 15,
                       st::centred | st::starts_disabled},
    ControlDescription{id::database_dir, ControlKind::edit, "", 72, 123, 270, 12,
                       st::align_left | st::scrolls},
    ControlDescription{id::work_dir, ControlKind::edit, "", 72, 135, 270, 12,
                       st::align_left | st::scrolls},
    ControlDescription{id::gnuplot_dir, ControlKind::edit, "", 72, 147, 270, 12,
                       st::align_left | st::scrolls},
    ControlDescription{id::version4, ControlKind::radio, "4", 140, 163, 14, 8, st::group_start},
    ControlDescription{id::version_older, ControlKind::radio, "older", 159, 163, 27, 8, 0},
    ControlDescription{id::style_lines, ControlKind::check, "lines", 264, 163, 27, 8, 0},
    ControlDescription{id::style_points, ControlKind::check, "points", 293, 163, 27, 8, 0},
    ControlDescription{id::save_setup, ControlKind::push, "Save setup", 238, 180, 50, 14, 0},
    ControlDescription{id::exit_button, ControlKind::push, "Exit", 298, 180, 50, 14, 0},

    ControlDescription{no_id, ControlKind::label, "Molecule", 34, 14, 0, 0, 0},
    ControlDescription{no_id, ControlKind::label, "Vibrational state", 12, 62, 0, 0, 0},
    ControlDescription{no_id, ControlKind::label, "Rotational state", 12, 77, 0, 0, 0},
    ControlDescription{no_id, ControlKind::label, "Final vib. state", 12, 92, 0, 0, 0},
    ControlDescription{no_id, ControlKind::label, "-", 268, 7, 0, 0, 0},
    ControlDescription{no_id, ControlKind::label, "eV", 301, 7, 0, 0, 0},
    ControlDescription{no_id, ControlKind::label, "meV", 268, 21, 0, 0, 0},
    ControlDescription{no_id, ControlKind::label, "Temperature", 185, 59, 0, 0, 0},
    ControlDescription{no_id, ControlKind::label, "vib", 226, 52, 0, 0, 0},
    ControlDescription{no_id, ControlKind::label, "rot", 226, 66, 0, 0, 0},
    ControlDescription{no_id, ControlKind::label, "K", 276, 59, 0, 0, 0},
    ControlDescription{no_id, ControlKind::label, "Database directory", 11, 124, 0, 0, 0},
    ControlDescription{no_id, ControlKind::label, "Work directory", 12, 136, 0, 0, 0},
    ControlDescription{no_id, ControlKind::label, "gnuplot directory", 12, 148, 0, 0, 0},
    ControlDescription{no_id, ControlKind::label, "gnuplot version", 91, 163, 0, 0, 0},
    ControlDescription{no_id, ControlKind::label, "data style:", 228, 163, 0, 0, 0},
};

using platform::MenuDescription;
using platform::MenuKind;

constexpr std::array menus{
    MenuDescription{no_id, MenuKind::title, "&File", 0},
    MenuDescription{id::open_database, MenuKind::action, "&Open database\u2026", 0, "Ctrl+O"},
    MenuDescription{id::make_demo_database, MenuKind::action, "&Make demo database\u2026", 0},
    MenuDescription{no_id, MenuKind::separator, "", 0},
    MenuDescription{id::export_figure, MenuKind::action, "Export &figure\u2026", 0, "Ctrl+E"},
    MenuDescription{id::export_data, MenuKind::action, "Export &data\u2026", 0, "Ctrl+D"},
    MenuDescription{no_id, MenuKind::separator, "", 0},
    MenuDescription{id::quit, MenuKind::action, "&Quit", 0, "Ctrl+Q"},

    MenuDescription{no_id, MenuKind::title, "&View", 0},
    MenuDescription{id::log_energy, MenuKind::check, "Log &energy axis", 0},
    MenuDescription{id::log_sigma, MenuKind::check, "Log &cross section axis", 0},
    MenuDescription{no_id, MenuKind::separator, "", 0},
    MenuDescription{id::unit_a2, MenuKind::radio, "Cross section in \u00c5\u00b2", st::group_start},
    MenuDescription{id::unit_cm2, MenuKind::radio, "Cross section in cm\u00b2", 0},
    MenuDescription{id::unit_m2, MenuKind::radio, "Cross section in m\u00b2", 0},

    MenuDescription{no_id, MenuKind::title, "&Compare", 0},
    MenuDescription{id::compare_add, MenuKind::action, "&Add current curve", 0, "Ctrl+K"},
    MenuDescription{id::compare_add_thermal, MenuKind::action, "Add &temperature average", 0},
    MenuDescription{id::compare_show, MenuKind::action, "&Show comparison", 0},
    MenuDescription{no_id, MenuKind::separator, "", 0},
    MenuDescription{id::compare_clear, MenuKind::action, "&Clear", 0},

    MenuDescription{no_id, MenuKind::title, "&Help", 0},
    MenuDescription{id::help_guide, MenuKind::action, "&User's guide", 0, "F1"},
    MenuDescription{id::help_about, MenuKind::action, "&About Sigmat", 0},
};

constexpr platform::DialogDescription description{"Sigmat",
                                                  40,
                                                  40,
                                                  354,
                                                  201,
                                                  "MS Sans Serif",
                                                  10,
                                                  std::span<const ControlDescription>(controls),
                                                  std::span<const MenuDescription>(menus)};

} // namespace

const platform::DialogDescription& main_dialog_description() {
    return description;
}

} // namespace sigmat::app
