// The database's data files and how one is read onto its uniform energy grid.
//
// Every data file starts with a header of "#" lines whose layout depends on the kind of
// file; only a few header lines are read, at fixed character positions, and their labels
// are skipped by length without being compared. The data rows follow: the energy in eV in
// characters 1-10 (ES10.4), then for each cross section one separator character and ten
// characters (ES10.4, in A^2).
//
//   kind       lines read                          first data row   columns
//   dea        5: maximum energy and resolution    line 9           2
//   ve         5: the same; 8: thresholds          line 10          1 + thresholds
//   aed        5: the same; 8: thresholds          line 10          1 + thresholds
//   aed_total  3: maximum energy and resolution    line 7           2
//
// Line 3 of a DEA file holds the energy of its initial state; the temperature average reads
// it (store/state_files.h).
#pragma once

#include "store/error.h"
#include "store/field_reading.h"
#include "store/file_system.h"
#include "store/process_kind.h"

#include <cstdint>
#include <istream>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::store {

// The numbers of a table. They are allocated without being set: the reader writes every
// value itself, and setting megabytes to 0 first would cost a tenth of the reading.
class TableValues {
  public:
    TableValues() = default;
    TableValues(const TableValues& other);
    TableValues& operator=(const TableValues& other);
    TableValues(TableValues&&) noexcept = default;
    TableValues& operator=(TableValues&&) noexcept = default;

    // Storage for `count` numbers, none of them set; what was held before is gone.
    void allocate(std::size_t count);
    std::size_t size() const { return size_; }
    double* data() { return data_.get(); }
    const double* data() const { return data_.get(); }
    double* begin() { return data(); }
    double* end() { return data() + size_; }
    const double* begin() const { return data(); }
    const double* end() const { return data() + size_; }
    double& operator[](std::size_t i) { return data_[i]; }
    double operator[](std::size_t i) const { return data_[i]; }
    friend bool operator==(const TableValues& a, const TableValues& b);

  private:
    std::unique_ptr<double[]> data_;
    std::size_t size_ = 0;
};

// A data file read onto its uniform energy grid: rows x columns, column-major, so that
// every column is contiguous for the convolution. Column 1 holds the grid energies (eV,
// ascending), columns 2.. the cross sections (A^2). Indices are 1-based.
struct CrossSectionTable {
    std::int32_t rows = 0, columns = 0;
    TableValues values; // values[(c-1)*rows + (r-1)]
    // VE and state-resolved AED: the thresholds line, one energy (eV) per cross-section column.
    std::vector<double> thresholds;

    std::span<double> column(std::int32_t c);
    std::span<const double> column(std::int32_t c) const;
    double at(std::int32_t row, std::int32_t col) const;
};

// Tables above this many values (rows x columns) are refused rather than allocated: no
// real file comes near it, and a corrupt header must not exhaust the memory.
inline constexpr std::int64_t max_table_values = 10'000'000;

// Reads the text of a data file of the given kind.
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
// Fails with cannot_read_message and the line: a header line missing, a number of a read
// header line unreadable, a resolution of 0 or below, a thresholds line without any
// threshold, a table that would exceed max_table_values, a line above max_line_bytes.
// CRLF and LF line ends both work. `reading` chooses how the rows' numbers are converted
// (store/field_reading.h); the table is the same either way.
Result<CrossSectionTable> read_cross_section_table(std::string_view text, ProcessKind kind,
                                                   std::string_view file_name,
                                                   FieldReading reading = FieldReading::automatic);
Result<CrossSectionTable> read_cross_section_table(std::istream& in, ProcessKind kind,
                                                   std::string_view file_name);
// The same for a file: one that is missing, not a regular file or cannot be opened gives
// not_found_message and line 0; one above max_file_bytes cannot_read_message.
Result<CrossSectionTable> read_cross_section_table(FileSystem& files, const std::string& path,
                                                   ProcessKind kind,
                                                   FieldReading reading = FieldReading::automatic);

// ---- writing ------------------------------------------------------------------------------

// A data file as a whole: its kind's header, with its free comment lines, and its rows as they
// stand (not on a grid). Line by line, with the header lines' numbers at their fixed places:
//
//   dea        1, 2 comments; 3 "# Energy = " ES11.4; 4 comment; 5 the grid line;
//              6, 7, 8 comments; rows from line 9: energy, one cross section
//   ve, aed    1 to 4 comments; 5 the grid line; 6, 7 comments; 8 "# Thrshld:" and " " ES10.4
//              per column; 9 comment; rows from line 10: energy, one value per threshold
//   aed_total  1, 2 comments; 3 the grid line; 4, 5, 6 comments; rows from line 7
//
// where the grid line is "# Max. energy = " ES10.4 " eV   resolution = " I3, a comment line is
// "#" and its text, and a row is the energy in ES10.4 and each value as " " ES10.4 (all in eV
// and A^2). Numbers that do not fit their fields are written as asterisks.
struct DataFileContent {
    ProcessKind kind = ProcessKind::dea;
    double max_energy_ev = 0.0;
    std::int32_t resolution_mev = 0;
    double state_energy_ev = 0.0;      // dea: line 3
    std::vector<double> thresholds;    // ve, aed: line 8, one per column
    std::vector<std::string> comments; // the free header lines' texts after "#", in order;
                                       // missing ones are "#" alone, extra ones are not written
    std::vector<double> energies;      // one per row
    std::vector<double> values;        // row after row, columns() per row
    std::size_t columns() const;       // 1 for dea and aed_total, else thresholds.size()
};

// The text of a data file, with '\n' line ends.
[[nodiscard]] std::string write_data_file(const DataFileContent& content);

// A data file's text read back as a whole: its header lines and every row up to the first line
// that is not a row of exactly the kind's number of fields (a data error at a header line that
// is missing or whose numbers cannot be read). write_data_file gives the same text back for a
// text it wrote.
[[nodiscard]] Result<DataFileContent> read_data_file(std::string_view text, ProcessKind kind,
                                                     std::string_view file_name);

// Header numbers at their fixed positions. Each gives nothing when a field is not a number.
// "# Max. energy = " ES10.4 " eV   resolution = " I3: maximum energy (eV) and grid step (meV).
struct GridHeader {
    double max_energy = 0.0;
    std::int32_t resolution_mev = 0;
};
std::optional<GridHeader> read_grid_line(std::string_view line);
// "# Energy = " ES11.4: the energy of the initial rovibrational state of a DEA file (eV).
std::optional<double> read_state_energy_line(std::string_view line);

// The first energy above 0 of a data or result file: the first item of the first row (a line
// that is not blank and does not begin with "#") whose first item is a number above 0. Nothing
// when the file cannot be read or has no such row. A log energy axis starts there.
std::optional<double> first_positive_energy(FileSystem& files, const std::string& path);

} // namespace sigmat::store
