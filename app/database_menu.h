// File > Open database… and File > Make demo database…: a folder becomes the dialog's
// database, for a start from the desktop menu, whose folder (the home folder) is no database.
#pragma once

#include "platform/platform.h"

#include <string>

namespace sigmat::app {

struct Application;

// Asks for a folder and opens it (use_database).
void open_database(platform::Platform& platform, Application& application);

// Asks for a folder, empty or new, writes the demo database there (curves/demo_database.h) and
// opens it. A folder that holds anything is refused: "The folder is not empty:" and its path.
void make_demo_database(platform::Platform& platform, Application& application);

// `folder` as the database: the database directory field as if the user had typed it (so that
// Save setup keeps it), its catalogue read and the molecule list and state ranges shown anew.
// The status line names the database, or says that it holds no index.dat.
void use_database(platform::Platform& platform, Application& application,
                  const std::string& folder);

} // namespace sigmat::app
