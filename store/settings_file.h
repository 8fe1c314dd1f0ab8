// The per-user settings file Sigmat.ini: five lines, each a fixed key followed directly by
// its value.
//
//   1  "XS_DBASE dir = "     the database directory
//   2  "Work dir = "         the work directory
//   3  "gnuplot = "          the directory of the plotter's executable
//   4  "gnuplot version = "  T (version 4 and later) or F (older)
//   5  "data style = "       two characters: "l ", "p " or "lp"
//
// Keys are skipped by their length and never compared, so a key of another spelling but
// the same length reads the same. Directory values are the rest of the line, cut at 256
// characters; they are written up to their last non-blank character.
#pragma once

#include "store/error.h"
#include "store/file_system.h"

#include <cstddef>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace sigmat::store {

inline constexpr std::string_view settings_file_name = "Sigmat.ini";
inline constexpr std::string_view settings_folder_name = "Sigmat";
inline constexpr std::string_view scripts_folder_name = "scripts";

// What the settings file holds.
struct SettingsValues {
    std::string databaseDir;
    std::string workDir;
    std::string gnuplotDir;
    bool gnuplotV4 = true;
    std::string dataStyle = "l ";
};

// The plotter's directory below a database directory: {db}/gnuplot/bin, without a doubled
// separator when `databaseDir` already ends with one.
std::string default_gnuplot_dir(std::string_view databaseDir);

// The values a first start writes: the database is the start-up directory, the work
// directory the per-user folder's "scripts", the plotter below the database, version 4,
// lines.
SettingsValues first_start_values(std::string_view startupDir, std::string_view scriptsDir);

// Reads the five lines. A line that cannot be read takes its value from `firstStart`:
//   lines 1-3: the line is missing or shorter than its key (a line that holds the key and
//              nothing more is read, as an all-blank directory);
//              for line 3 the plotter directory is derived from the database directory in
//              effect (read or taken), as on a first start;
//   line 4:    the line is missing or its character after the key is not T or F;
//   line 5:    missing, or its two characters hold neither "l" nor "p": "l ".
// A line 5 that ends early reads blanks for the missing characters. Its value is kept when
// it is "l ", "p " or "lp"; any other value that holds an "l" or a "p" becomes the style
// of the boxes it checks ("pl" is "lp", "xp" is "p "), so that the data style is always
// one that the plotter knows and at least one data-style box is checked.
SettingsValues read_settings(std::istream& in, const SettingsValues& firstStart);

// Writes the five lines, each ended with the platform's line end. A directory line whose
// value holds a line break is written empty.
void write_settings(std::ostream& out, const SettingsValues& values);

// Directory texts are held up to 256 characters; longer texts are cut.
inline constexpr std::size_t directory_capacity = 256;

// A held directory text and the part of it that is used as a path: up to its last
// non-blank character, or a single blank when the text is all blank.
std::string cut_directory(std::string_view text);
std::string used_directory(std::string_view text);

// The profile folder that holds "Sigmat": USERPROFILE; on systems other than Windows, HOME
// when it is unset. Empty when there is none.
std::string profile_folder(const std::optional<std::string>& userprofile,
                           const std::optional<std::string>& home);

// {profile}/Sigmat/Sigmat.ini.
std::string settings_file_path(std::string_view profile);

// The database directory that the settings file of `profile` names (as a path to use);
// nothing when there is no readable settings file or its database line is blank; a data error
// for a settings file larger than max_small_file_bytes.
Result<std::optional<std::string>> settings_database(FileSystem& files, std::string_view profile);

} // namespace sigmat::store
