// The menu bar of the main dialog: File (the database, exports, Quit), View (log axes, the unit
// of the cross section), Compare (the comparison list) and Help.
#pragma once

#include "platform/platform.h"

namespace sigmat::app {

struct Application;

// Attaches every menu entry's action; the View entries show the held view options.
void start_menus(platform::Platform& platform, Application& application);

} // namespace sigmat::app
