// LXCat cross-section text: the blocks that electron Boltzmann solvers read, concatenated
// into one file. Sigmat writes one block per curve:
//
//   ATTACHMENT                                  keyword (EXCITATION for VE into a higher v)
//   HCl(v=1,J=5) -> H + Cl-                     the process
//   1.234000e-01                                EXCITATION only: the threshold in eV
//   SPECIES: e / HCl
//   PROCESS: E + HCl(v=1,J=5) -> H + Cl-, Attachment
//   PARAM.:  E = 0 eV, FWHM = 50 meV
//   COMMENT: ...                                any number of lines (provenance)
//   UPDATED: 2024-05-01 12:00:00                UTC
//   COLUMNS: Energy (eV) | Cross section (m2)
//   -----------------------------               29 dashes
//   1.000000e-03<TAB>2.500000e-21               energy (eV), cross section (m2), %.6e
//   -----------------------------
//                                               an empty line
//
// The reader takes what other programs write as well: the keywords ELASTIC, EFFECTIVE,
// EXCITATION, IONIZATION and ATTACHMENT, each on a line of its own (blanks around it allowed);
// line 3 is a number for all but ATTACHMENT (the ratio of the electron mass to the target's for
// ELASTIC and EFFECTIVE, the threshold in eV for EXCITATION and IONIZATION; only its first
// number is kept) and may be one for ATTACHMENT too; header lines up to a line that starts
// with five dashes; a table of two numbers per row, energies ascending (equal neighbours
// allowed, for steps), up to the next such line. Text outside blocks is skipped, CR LF line ends
// are accepted, and a COLUMNS line, when present, must name eV and m2 (also written m^2).
#pragma once

#include "store/error.h"

#include <cstdint>
#include <ctime>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::curves {

enum class LxcatKind { elastic, effective, excitation, ionization, attachment };

// "ELASTIC", "EFFECTIVE", "EXCITATION", "IONIZATION", "ATTACHMENT".
[[nodiscard]] std::string_view lxcat_keyword(LxcatKind kind);

// The dashes that open and close a table, as written.
inline constexpr std::string_view lxcat_dashes = "-----------------------------";

struct LxcatBlock {
    LxcatKind kind = LxcatKind::attachment;
    std::string process;                  // line 2
    std::optional<double> line3;          // line 3 (see above); never written for ATTACHMENT
    std::string species;                  // the text after "SPECIES: "
    std::string process_line;             // after "PROCESS: "
    std::string param;                    // after "PARAM.: "
    std::vector<std::string> comments;    // after "COMMENT: ", one per line
    std::string updated;                  // after "UPDATED: "
    std::string columns;                  // after "COLUMNS: " as read; written as eV and m2
    std::vector<std::string> other_lines; // read only: header lines of other kinds, as they are
    std::vector<double> energy_ev;
    std::vector<double> sigma_m2;
    std::int32_t first_line = 0; // read only: the line of the keyword
};

// Writes one block in the layout above, with '\n' line ends (a text-mode stream on Windows
// makes them CR LF). Nothing is written, and a data error returned, when the block could not
// be read back as it is: a text field holding a line break, a kind other than ATTACHMENT
// without a finite line 3, energy and sigma tables of different lengths or no rows, a value
// that is not finite, or energies that descend. An io error: the stream went bad.
[[nodiscard]] store::Status write_lxcat_block(std::ostream& out, const LxcatBlock& block);

// Reads every block of the stream; `file_name` only names the file in an error. The first
// fault ends the read. A line that is wrong is reported at its own number; a part that never
// ends at the line where it began: a header without its line of dashes at the block's keyword,
// a table without its closing line of dashes (the file ends, an empty line or the next keyword
// comes) at its opening line of dashes.
[[nodiscard]] store::Result<std::vector<LxcatBlock>> read_lxcat(std::istream& in,
                                                                std::string_view file_name);

// "YYYY-MM-DD HH:MM:SS" in UTC, for the UPDATED line (proleptic Gregorian calendar, any time_t).
[[nodiscard]] std::string format_updated_utc(std::time_t t);

} // namespace sigmat::curves
