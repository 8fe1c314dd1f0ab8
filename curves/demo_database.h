// A model database of electron collision cross sections for the hydrogen halides, so that
// Sigmat can be tried without measured or computed data: DEA, VE, state-resolved and total
// AED of HF, DF, HCl, DCl, HBr, DBr, HI and DI, and the catalogue index.dat, in the layout
// Sigmat reads (store/data_files.h, store/catalogue_file.h). Every file says on its first
// line that it holds MODEL DATA FOR DEMONSTRATION; the model is in demo_database.cpp.
#pragma once

#include "store/error.h"
#include "store/file_system.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::curves {

struct DemoSummary {
    int files = 0;
    std::size_t bytes = 0;
};

// Writes one file of the database: its path below the database folder, folder by folder
// ({"HCl", "DA", "nu00", "DA00J00.dat"}), and its text; the folders on the way are the
// writer's to make.
using DemoWriter = std::function<store::Status(std::vector<std::string>, std::string_view)>;

// Every file of the database, one after the other; the first failure ends the writing.
[[nodiscard]] store::Result<DemoSummary> write_demo_database(const DemoWriter& write);
// The same into `folder` through `files`, each file whole.
[[nodiscard]] store::Result<DemoSummary> write_demo_database(store::FileSystem& files,
                                                             const std::string& folder);

// The model and its constants, for a person (sigmat-demo-db --help).
[[nodiscard]] std::string demo_database_description();

} // namespace sigmat::curves
