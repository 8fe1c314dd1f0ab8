// The main dialog's start-up and its actions: each state edit kept in step with its spin
// and inside the catalogue's limits, the temperatures and the FWHM inside theirs, controls
// enabled by the chosen process and by the two check boxes, and the held settings kept
// current. The actions show no messages: bad values are reported by the jobs.
#pragma once

#include "platform/platform.h"

#include <map>
#include <string_view>

namespace sigmat::app {

struct Application;

// The last number that each numeric edit gave on a successful read (0 before any): a text
// that is not a number acts as this value again.
struct DialogMemory {
    double vibInitial = 0.0; // edit 1009
    double rotInitial = 0.0; // edit 1010
    double vibFinal = 0.0;   // edit 1011
    double tempVib = 0.0;    // edit 1018
    double tempRot = 0.0;    // edit 1020
    double fwhm = 0.0;       // edit 1019
    // Per whole-number edit: a decimal point was typed and refused, and the digits typed
    // after it are refused too.
    std::map<int, bool> afterPoint;
};

// Fills the controls from the settings and the catalogue and attaches every action, in the
// dialog's start-up order. The platform and the application must outlive the dialog.
void start_main_dialog(platform::Platform& platform, Application& application);

// The catalogue in the dialog: the molecule list with the first molecule selected, and the
// three state edits at 0 with their spins' ranges those of that molecule.
void show_catalogue(platform::Platform& platform, Application& application);

// Checks the data-style boxes 1040 ("lines") and 1041 ("points") for a data style.
void show_data_style(platform::Platform& platform, std::string_view dataStyle);

} // namespace sigmat::app
