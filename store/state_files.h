// The DEA files of every rovibrational state of a molecule, as the temperature average
// reads them: the folders {db}/{mol}/da/nu{vv} for v = 0, 1, ... and in each the files
// da{vv}j{jj}.dat for J = 0, 1, ... (names matched without regard to letter case).
//
// Lines of a state file that are read (the layout of a DEA data file):
//   3   "# Energy = " ES11.4: the level energy E(v, J) in eV (columns 12 to 22)
//   5   "# Max. energy = " ES10.4 " eV   resolution = " I3 (the ground state only)
//   9.. data rows, each read as free-form numbers: the first two items of the line (items end
//       at blanks, tabs or commas) are the energy in eV and the cross section in A^2
#pragma once

#include "store/data_files.h"
#include "store/error.h"
#include "store/field_reading.h"
#include "store/file_system.h"
#include "store/text_lines.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::store {

// The walk's bounds: levels 0..50; J = 100 has no two-digit name, so the J walk ends there.
inline constexpr std::int32_t highest_walked_level = 50;
inline constexpr std::int32_t highest_walked_rotation = 100;

// What the ground state (v = 0, J = 0) gives the average: its level energy E00, the grid of
// its header, its first energy E1 and, when the header's resolution is 0 or less, the
// second energy E2 (the grid step then comes from the first two rows).
struct GroundState {
    double e00 = 0.0;
    GridHeader grid;
    double e1 = 0.0;
    double e2 = 0.0;
};

// Fails with cannot_read_message and the line: line 3 or 5 unreadable, the first data row
// (or, with a resolution of 0 or less, the second) not two numbers.
Result<GroundState> read_ground_state(std::string_view text, std::string_view file_name);

// Reads the first eight lines of a state file: its level energy (line 3), with the cursor
// left at the first data row. Nothing when line 3 is missing or unreadable.
std::optional<double> read_level_energy(LineCursor& cursor);

// One data row of a state file read as free-form numbers: the first two items.
bool read_state_row(std::string_view line, double& energy, double& cross_section);

// The energies of the rows repeat from file to file, each file's rows stepping along the same
// grid: for each grid point the ten characters of an energy that was read there and matched
// it. A row whose energy has exactly those characters matches without being read again. Kept
// across the files of one average.
struct KnownEnergies {
    std::vector<std::uint64_t> head; // characters 1 to 8
    std::vector<std::uint16_t> tail; // characters 9 and 10
    explicit KnownEnergies(std::size_t points) : head(points, 0), tail(points, 0) {}
};

// A row's energy and a grid point are the same within this many eV.
inline constexpr double grid_match_tolerance_ev = 1e-8;

// One data row of a state file as the reader found it: readable (energy and cross section) or
// not (an empty line, text, a short line).
struct StateRow {
    bool readable = false;
    double energy = 0.0;
    double cross_section = 0.0;
};

// Where a state's rows landed on the grid.
enum class RowsOutcome {
    on_grid,      // rows from the first one's grid point on were handed over
    skipped,      // no data row, an unreadable first row, or a first energy above the grid's
                  // top or off the grid: nothing was handed over
    incompatible, // a later row unreadable or off its grid point (what came before it was
                  // handed over; the state's files do not belong together)
};
struct StateSpan {
    RowsOutcome outcome = RowsOutcome::skipped;
    std::size_t first = 0; // grid points first..last took the state's rows (on_grid only)
    std::size_t last = 0;
};

// Takes the cross sections of a state's rows as the reader reads them: `count` values (A^2, as
// read) at the grid points first, first + 1, ...; called in the order of the rows, with runs of
// up to 32 rows at a time. Refers to a callable that outlives the read.
class RowSink {
  public:
    template <typename F>
    RowSink(F& f) // NOLINT: made from any callable (first, values, count)
        : object_(&f),
          call_([](void* o, std::size_t first, const double* values, std::size_t count) {
              (*static_cast<F*>(o))(first, values, count);
          }) {}
    void operator()(std::size_t first, const double* values, std::size_t count) const {
        call_(object_, first, values, count);
    }

  private:
    void* object_;
    void (*call_)(void*, std::size_t, const double*, std::size_t);
};

// Walks the data rows at `cursor` along `grid` (ascending energies) and hands them to `sink`.
// The first row goes to the lowest grid point its energy matches; each later row to the next
// grid point, which it must match, up to the top of the grid (rows beyond it are not looked
// at) or the end of the text (a table that ends early leaves the rest of the grid alone).
// Rows in the files' own layout whose energy is known at their grid point take a short way:
// only the cross section is read.
StateSpan read_state_rows(std::span<const double> grid, LineCursor& cursor, KnownEnergies& known,
                          RowSink sink, FieldReading reading = FieldReading::automatic);

// One state file found by the walk.
struct StateFile {
    std::int32_t v = 0, j = 0;
    std::string path; // as spelt on disk
};

// The state files of a molecule in the average's order: v = 0, 1, ... up to 50 while the
// level's folder exists; within a level J = 0, 1, ... up to the first J whose file is missing
// or not a regular file. Each level's folder is listed once; nothing is read.
// A level folder that exists but cannot be listed is an error (cannot_read_folder_message).
Result<std::vector<StateFile>> list_state_files(FileSystem& files, std::string_view db,
                                                std::string_view molecule);

// The ground-state file's path (as spelt on disk where it exists).
std::string ground_state_path(FileSystem& files, std::string_view db, std::string_view molecule);

} // namespace sigmat::store
