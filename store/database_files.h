// The database of cross-section data files: where each file lies in the tree, and how a
// file is read onto its uniform energy grid.
//
// Every data file starts with a header of "#" lines whose layout depends on the kind of
// file; only a few header lines are read, at fixed character positions, and their labels
// are skipped by length without being compared. The data rows follow: the energy in eV in
// characters 1-10 (ES10.4), then for each cross section one separator character and ten
// characters (ES10.4, in A^2).
//
// Names inside the tree are matched without regard to letter case, because the same
// folders and files are spelt "DA" and "da", "adTot" and "adtot" by different jobs. A path
// handed back is always spelt as it is on disk, so that the plotter (which opens the
// file itself) finds it on a case-sensitive file system too.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <istream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sigmat::store {

// The four header layouts of the database files.
//
//   kind       lines read                          first data row   columns
//   dea        5: maximum energy and resolution    line 9           2
//   ve         5: the same; 8: thresholds          line 10          1 + thresholds
//   aed_state  5: the same; 8: thresholds          line 10          1 + thresholds
//   aed_total  3: maximum energy and resolution    line 7           2
//
// (Line 3 of a DEA file holds the energy of the initial state; only the thermal average
// reads it, through read_dea_header.)
enum class DataFileKind { dea, ve, aed_state, aed_total };

// A data file read onto its uniform energy grid: rows x columns, column-major, so that
// every column is contiguous for the convolution. Column 1 holds the grid energies (eV,
// ascending), columns 2.. the cross sections (A^2). Indices are 1-based.
// Allocates as std::allocator does, but growing a vector leaves the new numbers unset: the
// reader writes every value of a table itself, and setting megabytes to 0 first would cost a
// tenth of the reading.
template <typename T> struct UnsetAllocator : std::allocator<T> {
    template <typename U> struct rebind { using other = UnsetAllocator<U>; };
    UnsetAllocator() = default;
    template <typename U> explicit UnsetAllocator(const UnsetAllocator<U>& /*unused*/) noexcept {}
    template <typename U> void construct(U* at) noexcept { ::new (static_cast<void*>(at)) U; }
    template <typename U, typename... Args> void construct(U* at, Args&&... args) {
        ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
};

struct CrossSectionTable {
    std::int32_t rows = 0, columns = 0;
    std::vector<double, UnsetAllocator<double>> values; // values[(c-1)*rows + (r-1)]

    std::span<double> column(std::int32_t c);
    std::span<const double> column(std::int32_t c) const;
    double at(std::int32_t row, std::int32_t col) const;
};

// Where a read went wrong: the file as named by the caller, the 1-based line (0 when the
// file could not be opened at all) and the message text for the user.
struct ReadError {
    std::string file;
    std::int32_t line = 0;
    std::string reason;
};

struct TableRead {
    bool ok = false;
    CrossSectionTable table;
    ReadError error;
};

// The message for a data file whose header cannot be used.
inline constexpr std::string_view cannot_read_message = "Cannot read the data file.";
// The message for a data file that cannot be opened.
inline constexpr std::string_view not_found_message = "Data file not found.";

// Tables above this many values (rows x columns) are refused rather than allocated: no
// real file comes near it, and a corrupt header must not exhaust the memory.
inline constexpr std::int64_t max_table_values = 10'000'000;

// Reads a data file of the given kind.
//
// The grid comes from the header: step = r x 0.001 eV for the resolution r in meV; the top
// energy is cut down to a whole number of steps, E_max := trunc(E_max/step) x step, and
// the table has N = trunc(E_max x 1000 / r) rows whose energies are E_max - step x (N-k)
// for k = 1..N. The data rows are then walked along the grid: a row whose energy is within
// 1e-8 eV of the current grid point fills that grid row and the next row is read; grid rows
// that no file row reaches keep cross section 0. The walk ends at the first row that cannot
// be read (end of file, empty line, a line without a first value, a field that is not a
// number) and, because it never steps back, at the first row whose energy lies off the grid.
// A row with fewer values than the table has cross-section columns gets 0 in the others;
// values beyond the table's columns are ignored.
//
// Not ok, with reason cannot_read_message and the line: a header line missing, a number of a
// read header line unreadable, a resolution of 0 or below, a thresholds line without any
// threshold, or a table that would exceed max_table_values. CRLF and LF line ends both work.
TableRead read_cross_section_table(std::istream& in, DataFileKind kind, std::string_view file_name);
// The same for a file on disk; a file that cannot be opened as an existing regular file
// gives reason not_found_message and line 0.
TableRead read_cross_section_table(const std::string& path, DataFileKind kind);

// Header numbers at their fixed positions. Each gives nothing when a field is not a number.
// "# Max. energy = " ES10.4 " eV   resolution = " I3: maximum energy (eV) and grid step (meV).
struct GridHeader {
    double max_energy = 0.0;
    std::int32_t resolution_mev = 0;
};
std::optional<GridHeader> read_grid_line(std::string_view line);
// "# Energy = " ES11.4: the energy of the initial rovibrational state of a DEA file (eV).
std::optional<double> read_state_energy_line(std::string_view line);

// The header of a DEA file as the thermal average reads it.
struct DeaHeader {
    double state_energy = 0.0;       // line 3, eV
    double max_energy = 0.0;         // line 5, eV (only when read with the grid line)
    std::int32_t resolution_mev = 0; // line 5, meV (only when read with the grid line)
};
struct DeaHeaderRead {
    bool ok = false;
    DeaHeader header;
    ReadError error;
};
// Reads lines 1 to 8 of a DEA file, so that the stream stands at the first data row (line 9).
// Line 3 must hold the state energy; with `with_grid` line 5 must hold the maximum energy and
// a resolution above 0. Otherwise not ok with cannot_read_message and the line.
DeaHeaderRead read_dea_header(std::istream& in, std::string_view file_name, bool with_grid);

// One line of a text file without its line end (LF or CRLF); false at the end of the file.
bool read_text_line(std::istream& in, std::string& line);

// The lines of a stream read by large blocks, for the data rows: the same lines as
// read_text_line gives, without a copy per line. The stream is read ahead of the line handed
// out, so it is not to be read otherwise in between.
struct BlockLines {
    explicit BlockLines(std::istream& stream) : in(stream) {}
    std::istream& in;
    // Characters read so far: [0, filled) of the buffer; the lines not yet handed out start at
    // `at`. The buffer's room past `filled` holds nothing.
    std::vector<char, UnsetAllocator<char>> buffer;
    std::size_t filled = 0;
    std::size_t at = 0;
    bool at_end = false; // the stream has no more characters
};
// The next line, as a view into `lines.buffer` that stays valid until the next call.
bool next_line(BlockLines& lines, std::string_view& line);

// A whole file into `text` (its capacity is reused), read by large blocks. False when the file
// cannot be opened.
bool read_text_file(const std::string& path, std::string& text);
// A whole file into `buffer` by large blocks: its length, or nothing when the file cannot be
// opened or read (a folder, for one). The buffer never shrinks, so that reading many files
// allocates and clears nothing once it is large enough; the bytes past the length are left over
// from earlier files.
std::optional<std::size_t> read_file_into(const std::string& path, std::vector<char>& buffer);
// `text` cut into lines without their line ends (LF or CRLF), as views into `text`; a final
// line end does not start another line.
void split_lines(std::string_view text, std::vector<std::string_view>& lines);

// `name` appended to the directory `dir` with the platform's separator (none added when `dir`
// is empty or already ends with one).
std::string join_path(std::string_view dir, std::string_view name);

// Looks the `components` up one after the other under `base`: each component is taken as
// given when an entry of that exact name exists, otherwise as the first entry (in name order)
// of the directory whose name equals it ignoring letter case. Returns the joined path as
// spelt on disk; from the first component that is not found on, the components are appended
// as given. `base` itself is used as given.
std::string find_in_tree(std::string_view base, std::initializer_list<std::string_view> components);

// The database directory text of the settings, up to its last non-blank character.
std::string_view database_dir_text(std::string_view db);

// {db}/{mol}/{pc}/nu{vv}/{pc}{vv}J{jj}.dat for the process code "DA" (DEA) or "VE", with v and
// J in I2.2 ("**" when a state does not fit two digits), the molecule without trailing
// blanks, resolved with find_in_tree.
std::string database_file_path(std::string_view db, std::string_view process_code,
                               std::string_view molecule, std::int32_t v, std::int32_t j);
// {db}/{mol}/AD/adJ{jj}.dat: the state-resolved AED file of the rotational state J.
std::string aed_state_file_path(std::string_view db, std::string_view molecule, std::int32_t j);
// {db}/{mol}/AD/adTot.dat: the total AED file.
std::string aed_total_file_path(std::string_view db, std::string_view molecule);
// {db}/{mol}/da/nu{vv}: the folder of the DEA files of vibrational level v.
std::string dea_level_folder_path(std::string_view db, std::string_view molecule, std::int32_t v);
// {db}/{mol}/da/nu{vv}/da{vv}j{jj}.dat: a DEA file as the thermal average names it.
std::string dea_state_file_path(std::string_view db, std::string_view molecule, std::int32_t v,
                                std::int32_t j);

// True when `path` opens for reading as an existing regular file.
bool data_file_exists(const std::string& path);

} // namespace sigmat::store
