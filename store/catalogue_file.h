// The molecules on offer and the rovibrational states the database holds data for: per
// molecule its highest vibrational level and, per level, its highest rotational level.
// It fills the molecule list and bounds the three state spins of the dialog.
//
// The catalogue file "index.dat" in the database directory is read by position:
//
//   line 1          N, the number of molecules, in columns 1-2
//   per molecule    data lines "COD, nu = VV: J_max = JJ": the code in columns 1-3 (first
//                   line of the block only), the level v in columns 11-12 and its highest
//                   rotational level J in columns 23-24; the texts between are not read
//                   then a marker line starting "###" and one separator line, skipped unread
//
// The molecule's highest vibrational level is the v of the block's last data line; levels a
// block does not list keep J_max 0.
#pragma once

#include "store/file_system.h"

#include <array>
#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::store {

// Vibrational levels run from 0 to 10, rotational levels from 0 to 99 (two digits).
inline constexpr std::int32_t highest_vib_level = 10;
inline constexpr std::int32_t highest_rot_level = 99;

struct StateCatalogue {
    std::int32_t moleculeCount = 0;
    std::vector<std::string> codes;   // three characters, blank-padded ("H2 ", "HCl")
    std::vector<std::int32_t> vibMax; // highest vibrational level per molecule
    std::vector<std::array<std::int32_t, highest_vib_level + 1>> rotMax; // per molecule, level

    // Highest rotational level of level v of molecule k (1-based); 0 for a level outside
    // 0..10 or an unknown molecule.
    std::int32_t rot_max(std::int32_t k, std::int32_t v) const;
    // Highest vibrational level of molecule k (1-based); 0 for an unknown molecule.
    std::int32_t vib_max(std::int32_t k) const;
};

// The eleven molecules that stand in when there is no usable catalogue file: H2, D2, HBr,
// DBr, HCl, DCl, HI, DI, HF, DF and Cl2, each with levels 0..8 and J up to 50 in every level.
StateCatalogue builtin_catalogue();

// Reads a catalogue file. Gives nothing for a file that is malformed in any way: N missing,
// not a number or below 1; fewer blocks than N; a block without its marker or the separator
// line after it; a data line that does not reach column 24; a level outside 0..10; a J that
// is not a number or outside 0..99; a code holding "/", "\", ".", "'" or a control
// character, or starting with "-" (a code becomes folder, file and script names). LF and
// CRLF line ends are both read.
std::optional<StateCatalogue> read_catalogue(std::istream& in);

// The catalogue as its file: line 1 N in I2 followed by two blanks and `title` (when there is
// one), then per molecule one data line per level v = 0..vib_max, "COD, nu = " I2 ": J_max = "
// I2, the marker "###" and an empty separator line. read_catalogue gives it back.
std::string write_catalogue(const StateCatalogue& catalogue, std::string_view title = {});

// The catalogue of the file at `path`; the built-in one when the file cannot be read (or is
// not a regular file, or larger than max_small_file_bytes) or is malformed.
StateCatalogue load_catalogue(FileSystem& files, const std::string& path);

} // namespace sigmat::store
