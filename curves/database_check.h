// A database looked over as the people who compute and ship one need it: what the readers
// would refuse or silently cut, and what is likely a slip.
//
// Errors (the database gives wrong or no results):
//   a header line that cannot be read; a data row that cannot be read, or whose energy lies
//   off the file's grid, before the end of the table (the readers end the table there,
//   silently); energies that do not rise; values that are not finite numbers; a state that
//   index.dat lists without its DEA file.
// Warnings (probably a slip):
//   negative cross sections; a table that ends before its header's maximum energy; a DEA file
//   that index.dat does not list; a VE threshold more than 1 meV from the difference of the
//   state energies of the DEA files; a gap in J (the temperature average stops at the first
//   missing J of a level and leaves the higher ones out).
#pragma once

#include "store/file_system.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sigmat::curves {

// What index.dat lists for a molecule: the highest J of each level v = 0, 1, ...
struct ListedMolecule {
    std::string code; // without trailing blanks
    std::vector<std::int32_t> j_max;
};

struct Finding {
    bool error = true; // false: a warning
    std::string file;
    std::int32_t line = 0; // 0: the file as a whole
    std::string what;
};

struct CheckReport {
    std::vector<Finding> findings; // in the order of the molecules and files
    std::int32_t molecules = 0;
    std::int32_t files = 0;
    std::int32_t errors() const;
    std::int32_t warnings() const;
};

// Checks the molecules `listed` (the whole catalogue, or one molecule of it) in the database
// `db`. `listing_file` names index.dat in findings about the listing.
[[nodiscard]] CheckReport check_database(store::FileSystem& files, const std::string& db,
                                         const std::vector<ListedMolecule>& listed,
                                         const std::string& listing_file);

} // namespace sigmat::curves
