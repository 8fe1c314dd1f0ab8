// The main dialog "Sigmat": 354 x 201 dialog units, every control at its place, with a menu
// bar above the controls and a status line below them.
#pragma once

#include "platform/dialog_description.h"

namespace sigmat::app {

// Control ids of the main dialog.
namespace id {
inline constexpr int molecule_list = 1013;
inline constexpr int dea = 1007;
inline constexpr int ve = 1042;
inline constexpr int aed = 1043;
inline constexpr int aed_total = 1044;
inline constexpr int vib_initial = 1009;
inline constexpr int vib_initial_spin = 1015;
inline constexpr int rot_initial = 1010;
inline constexpr int rot_initial_spin = 1016;
inline constexpr int vib_final = 1011;
inline constexpr int vib_final_spin = 1017;
inline constexpr int plot_single = 30002;
inline constexpr int energy_range = 1032;
inline constexpr int energy_min = 1012;
inline constexpr int energy_max = 1014;
inline constexpr int resolution = 1029;
inline constexpr int fwhm = 1019;
inline constexpr int temp_vib = 1018;
inline constexpr int temp_rot = 1020;
inline constexpr int plot_thermal = 30003;
inline constexpr int wait_label = 1039;
inline constexpr int database_dir = 1021;
inline constexpr int work_dir = 1022;
inline constexpr int gnuplot_dir = 1024;
inline constexpr int version4 = 1034;
inline constexpr int version_older = 1035;
inline constexpr int style_lines = 1040;
inline constexpr int style_points = 1041;
inline constexpr int save_setup = 1023;
inline constexpr int exit_button = 30001;

// The menu bar's entries.
inline constexpr int export_figure = 40001;
inline constexpr int export_data = 40002;
inline constexpr int quit = 40003;
inline constexpr int log_energy = 40011;
inline constexpr int log_sigma = 40012;
inline constexpr int unit_a2 = 40013;
inline constexpr int unit_cm2 = 40014;
inline constexpr int unit_m2 = 40015;
inline constexpr int compare_add = 40021;
inline constexpr int compare_add_thermal = 40022;
inline constexpr int compare_show = 40023;
inline constexpr int compare_clear = 40024;
inline constexpr int help_guide = 40031;
inline constexpr int help_about = 40032;
inline constexpr int open_database = 40033;
inline constexpr int make_demo_database = 40034;
} // namespace id

const platform::DialogDescription& main_dialog_description();

} // namespace sigmat::app
