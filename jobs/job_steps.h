// Steps that every plot job takes, in the jobs' own terms.
#pragma once

#include "jobs/plot_jobs.h"
#include "store/error.h"
#include "store/plot_scripts.h"

#include <optional>
#include <string>
#include <string_view>

namespace sigmat::jobs::steps {

// The work directory and the database as paths to use; nothing (after "Invalid work
// directory") when the work directory is not a folder.
struct Places {
    std::string work;     // where scripts are written and the plotter runs
    std::string database; // where the data files are read
};
std::optional<Places> enter(JobHost& host, const Directories& dirs);

// A path of the database written into a plot command: the database directory as the user
// gave it (anchored with "./" when relative), followed by the rest of `found`, a path that
// find_in_tree built from `places.database`.
std::string database_path_in_script(const Directories& dirs, const Places& places,
                                    std::string_view found);

// `path` between quotes for a plot command; nothing (after "The path cannot be used in a plot
// script:" and the path) when it holds a control character.
std::optional<std::string> quoted_path(JobHost& host, std::string_view path);

// The `data` folder of the work directory, made when missing; nothing after "Cannot create
// the data directory in your work directory.".
std::optional<std::string> data_folder(JobHost& host, const Places& places);

// True when an old result of that path is there (a regular file) and the user does not want
// it recomputed... false means compute.
bool keep_old_result(JobHost& host, const std::string& path);

// Writes a file whole; false after "Cannot write the file." and the path. With `waiting`
// the wait indicator is greyed before the message.
bool write_file(JobHost& host, const std::string& path, std::string_view content,
                bool waiting = false);

// The message of a failed read: its text, and the file below it where the message names one.
void show_read_failure(JobHost& host, const store::DataError& error);

// The x range of a plot command ("[:]", "[0.50:3.00]"). On a log energy axis a lower bound at
// or below 0 becomes the first positive energy of `plotted`, the file the command plots.
std::string range_in_script(JobHost& host, const EnergyRange& range, const store::View& view,
                            const std::string& plotted);

// Starts the plotter on `script` in the work directory and waits for it.
JobOutcome launch(JobHost& host, const Directories& dirs, const Places& places,
                  const std::string& script);

} // namespace sigmat::jobs::steps
