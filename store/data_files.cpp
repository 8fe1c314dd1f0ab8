#include "store/data_files.h"

#include "store/internal/es_layout.h"
#include "store/number_fields.h"
#include "store/text_lines.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <new>
#include <vector>

namespace sigmat::store {
namespace {

// Fixed positions (0-based) of the header numbers and the data-row fields.
constexpr std::size_t grid_energy_column = 16;               // after "# Max. energy = "
constexpr std::size_t grid_resolution_column = 16 + 10 + 19; // after " eV   resolution = "
constexpr std::size_t state_energy_column = 11;              // after "# Energy = "
constexpr std::size_t field_width = 10;
// Field i (i >= 1) of a thresholds line or a data row starts after i x (10 + 1) characters:
// the energy or the "# Thrshld: " label, then one separator before each field.
constexpr std::size_t field_pitch = field_width + 1;

constexpr double same_energy = 1e-8; // eV: two energies are the same grid point

// Where the numbers of each header layout are, and where the data rows begin.
struct Layout {
    std::int32_t grid_line = 0;
    std::int32_t thresholds_line = 0; // 0: one cross section per row
    std::int32_t first_data_line = 0;
};

std::optional<Layout> layout_of(ProcessKind kind) {
    switch (kind) {
    case ProcessKind::dea:
    case ProcessKind::thermal: // the states' DEA files
        return Layout{5, 0, 9};
    case ProcessKind::ve:
    case ProcessKind::aed:
        return Layout{5, 8, 10};
    case ProcessKind::aed_total:
        return Layout{3, 0, 7};
    }
    return std::nullopt;
}

// The line without trailing blanks and tabs: what is left decides how many fields it holds.
std::string_view used_part(std::string_view line) {
    std::size_t n = line.size();
    while (n > 0 && (line[n - 1] == ' ' || line[n - 1] == '\t'))
        --n;
    return line.substr(0, n);
}

// Number of fixed-width fields after the first ten characters: field i exists when the
// used part of the line reaches into it.
std::size_t fields_after_first(std::string_view used) {
    return used.size() > field_pitch ? (used.size() - 1) / field_pitch : 0;
}

// Reads one data row: the energy and the first value must be there and readable; the
// further values go into `values` in order, 0 where the row ends early. Values beyond the
// size of `values` are not looked at. False when the row cannot be read.
bool read_data_row(std::string_view line, std::span<double> values, double& energy) {
    std::string_view used = used_part(line);
    std::size_t present = fields_after_first(used);
    if (present == 0)
        return false; // empty line, or an energy without a value
    auto e = read_real_field(field_at(used, 0, field_width));
    if (!e)
        return false;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i < present) {
            auto v = read_real_field(field_at(used, (i + 1) * field_pitch, field_width));
            if (!v)
                return false;
            values[i] = *v;
        } else {
            values[i] = 0.0;
        }
    }
    energy = *e;
    return true;
}

// A data row with exactly one value per cross-section column, every field in the files' own
// layout (ES10.4 without a sign): fields[0] the energy, then the values, read where they stand
// as read_data_row would read them. False (the fields partly written) for any other row. The
// text after the line, up to `readable_end`, may be read but is not looked at.
bool read_standard_row(std::string_view line, std::span<double> fields, const char* readable_end,
                       FieldReading reading) {
    const std::size_t count = fields.size();
    if (line.size() + 1 != field_pitch * count)
        return false;
    return read_es_fields(line.data(), field_pitch, count, readable_end, fields.data(), reading) ==
           count;
}

DataError refused(std::string_view file, std::int32_t line) {
    return data_error(file, line, cannot_read_message);
}

} // namespace

TableValues::TableValues(const TableValues& other) {
    *this = other;
}

TableValues& TableValues::operator=(const TableValues& other) {
    if (this != &other) {
        allocate(other.size_);
        std::copy(other.begin(), other.end(), begin());
    }
    return *this;
}

void TableValues::allocate(std::size_t count) {
    data_ = count == 0 ? nullptr : std::make_unique_for_overwrite<double[]>(count);
    size_ = count;
}

bool operator==(const TableValues& a, const TableValues& b) {
    return a.size_ == b.size_ && std::equal(a.begin(), a.end(), b.begin());
}

std::span<double> CrossSectionTable::column(std::int32_t c) {
    return {values.data() + static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(rows),
            static_cast<std::size_t>(rows)};
}

std::span<const double> CrossSectionTable::column(std::int32_t c) const {
    return {values.data() + static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(rows),
            static_cast<std::size_t>(rows)};
}

double CrossSectionTable::at(std::int32_t row, std::int32_t col) const {
    return values[static_cast<std::size_t>(col - 1) * static_cast<std::size_t>(rows) +
                  static_cast<std::size_t>(row - 1)];
}

std::optional<GridHeader> read_grid_line(std::string_view line) {
    auto energy = read_real_field(field_at(line, grid_energy_column, field_width));
    auto resolution = read_int_field(field_at(line, grid_resolution_column, 3));
    if (!energy || !resolution)
        return std::nullopt;
    return GridHeader{*energy, *resolution};
}

std::optional<double> read_state_energy_line(std::string_view line) {
    return read_real_field(field_at(line, state_energy_column, 11));
}

Result<CrossSectionTable> read_cross_section_table(std::string_view text, ProcessKind kind,
                                                   std::string_view file_name,
                                                   FieldReading reading) {
    auto layout = layout_of(kind);
    if (!layout)
        return refused(file_name, 0);

    // Header: every line before the first data row must be there; only the grid line and
    // the thresholds line are looked at.
    LineCursor lines(text);
    std::string_view line;
    GridHeader grid;
    std::size_t thresholds = 1;
    std::vector<double> threshold_values;
    for (std::int32_t n = 1; n < layout->first_data_line; ++n) {
        if (!lines.next(line))
            return refused(file_name, n);
        if (n == layout->grid_line) {
            auto g = read_grid_line(line);
            if (!g || g->resolution_mev <= 0 || !std::isfinite(g->max_energy))
                return refused(file_name, n);
            grid = *g;
        } else if (n == layout->thresholds_line) {
            // "# Thrshld: " then one ES10.4 per cross-section column; only the count is used,
            // but every threshold must be a number.
            std::string_view used = used_part(line);
            thresholds = fields_after_first(used);
            if (thresholds == 0)
                return refused(file_name, n);
            for (std::size_t i = 1; i <= thresholds; ++i) {
                const auto t = read_real_field(field_at(used, i * field_pitch, field_width));
                if (!t)
                    return refused(file_name, n);
                threshold_values.push_back(*t);
            }
        }
    }

    // Grid, exactly as the files were made: the top cut down to a whole number of steps,
    // the rows counted down from it.
    const std::int32_t r = grid.resolution_mev;
    const double step = r * 0.001;
    const double e_max = std::trunc(grid.max_energy / step) * step;
    const double n_real = std::trunc(e_max * 1000.0 / r);
    const std::int64_t columns = 1 + static_cast<std::int64_t>(thresholds);
    if (!std::isfinite(n_real) || n_real > static_cast<double>(max_table_values) ||
        columns > max_table_values)
        return refused(file_name, layout->grid_line);
    const std::int64_t rows = n_real > 0.0 ? static_cast<std::int64_t>(n_real) : 0;
    if (rows * columns > max_table_values)
        return refused(file_name, layout->grid_line);

    CrossSectionTable table;
    try {
        table.values.allocate(static_cast<std::size_t>(rows * columns));
    } catch (const std::bad_alloc&) {
        return refused(file_name, layout->grid_line);
    }
    table.rows = static_cast<std::int32_t>(rows);
    table.columns = static_cast<std::int32_t>(columns);
    table.thresholds = std::move(threshold_values);
    auto energies = table.column(1);
    for (std::int32_t k = 1; k <= table.rows; ++k)
        energies[static_cast<std::size_t>(k - 1)] = e_max - step * (table.rows - k);

    // Walk the grid with the current file row.
    // The fields of the current row: its energy, then its values.
    std::vector<double> fields(static_cast<std::size_t>(columns), 0.0);
    const std::span<double> row_values = std::span(fields).subspan(1);
    double& energy = fields[0];
    const char* const text_end = text.data() + text.size();
    const auto read_row = [&] {
        return lines.next(line) && (read_standard_row(line, fields, text_end, reading) ||
                                    read_data_row(line, row_values, energy));
    };
    bool have_row = read_row();
    double* const first_value = table.values.data() + table.rows;
    const std::size_t stride = static_cast<std::size_t>(table.rows);
    // Rows of the grid that no file row reaches hold 0: those before the row being written, and
    // at the end all that are left.
    std::size_t unset = 0; // first row not written yet
    const auto zero_rows_before = [&](std::size_t row) {
        for (std::size_t c = 0; c + 1 < static_cast<std::size_t>(columns); ++c)
            std::fill(first_value + c * stride + unset, first_value + c * stride + row, 0.0);
        unset = row;
    };
    for (std::int32_t k = 1; have_row && k <= table.rows; ++k) {
        const auto row = static_cast<std::size_t>(k - 1);
        if (std::fabs(energies[row] - energy) > same_energy)
            continue;
        if (row != unset)
            zero_rows_before(row);
        double* to = first_value + row;
        for (const double value : row_values) {
            *to = value;
            to += stride;
        }
        unset = row + 1;
        have_row = read_row();
    }
    zero_rows_before(stride);
    if (lines.too_long)
        return refused(file_name, lines.number + 1);
    return table;
}

Result<CrossSectionTable> read_cross_section_table(std::istream& in, ProcessKind kind,
                                                   std::string_view file_name) {
    return read_cross_section_table(std::string_view(read_stream(in)), kind, file_name);
}

Result<CrossSectionTable> read_cross_section_table(FileSystem& files, const std::string& path,
                                                   ProcessKind kind, FieldReading reading) {
    // The text's buffer is kept for the thread's next file: a fresh one would be set to zero
    // and mapped page by page on every read. One of a very large file is not kept.
    constexpr std::size_t kept_bytes = std::size_t{64} << 20;
    thread_local FileBytes bytes;
    const ReadStatus status = files.read(path, bytes);
    const auto release = [] {
        if (bytes.buffer.capacity() > kept_bytes)
            bytes = FileBytes{};
    };
    switch (status) {
    case ReadStatus::ok: {
        auto table = read_cross_section_table(bytes.text(), kind, path, reading);
        release();
        return table;
    }
    case ReadStatus::too_large:
        return data_error(path, 0, cannot_read_message);
    case ReadStatus::missing:
    case ReadStatus::not_regular:
    case ReadStatus::unreadable:
        break;
    }
    return data_error(path, 0, not_found_message);
}

std::optional<double> first_positive_energy(FileSystem& files, const std::string& path) {
    FileBytes bytes;
    if (files.read(path, bytes) != ReadStatus::ok)
        return std::nullopt;
    std::string_view rest = bytes.text();
    while (!rest.empty()) {
        const std::size_t nl = rest.find('\n');
        std::string_view line = rest.substr(0, nl);
        rest.remove_prefix(nl == std::string_view::npos ? rest.size() : nl + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        const ItemRead<double> energy = read_real_item(line);
        if (energy.ok() && energy.value > 0.0 && std::isfinite(energy.value))
            return energy.value;
    }
    return std::nullopt;
}

// ---- writing ------------------------------------------------------------------------------

namespace {

// The free header lines of each kind (1-based), and the lines that hold numbers.
struct HeaderPlan {
    std::vector<std::int32_t> free;
    std::int32_t grid = 0, thresholds = 0, state_energy = 0, first_row = 0;
};

HeaderPlan header_plan(ProcessKind kind) {
    switch (kind) {
    case ProcessKind::ve:
    case ProcessKind::aed:
        return {{1, 2, 3, 4, 6, 7, 9}, 5, 8, 0, 10};
    case ProcessKind::aed_total:
        return {{1, 2, 4, 5, 6}, 3, 0, 0, 7};
    case ProcessKind::dea:
    case ProcessKind::thermal:
        break;
    }
    return {{1, 2, 4, 6, 7, 8}, 5, 0, 3, 9};
}

std::string grid_text(double max_energy, std::int32_t resolution) {
    return "# Max. energy = " + format_es(max_energy, 10, 4) +
           " eV   resolution = " + format_i(resolution, 3);
}

} // namespace

std::size_t DataFileContent::columns() const {
    return kind == ProcessKind::ve || kind == ProcessKind::aed ? thresholds.size() : 1;
}

std::string write_data_file(const DataFileContent& c) {
    const HeaderPlan plan = header_plan(c.kind);
    std::string out;
    std::size_t comment = 0;
    for (std::int32_t line = 1; line < plan.first_row; ++line) {
        if (line == plan.grid) {
            out += grid_text(c.max_energy_ev, c.resolution_mev);
        } else if (line == plan.state_energy) {
            out += "# Energy = ";
            out += format_es(c.state_energy_ev, 11, 4);
        } else if (line == plan.thresholds) {
            out += "# Thrshld:";
            for (double t : c.thresholds) {
                out += ' ';
                out += format_es(t, 10, 4);
            }
        } else {
            out += '#';
            if (comment < c.comments.size())
                out += c.comments[comment];
            ++comment;
        }
        out += '\n';
    }
    const std::size_t columns = c.columns();
    out.reserve(out.size() + c.energies.size() * (11 + 11 * columns));
    char field[10];
    for (std::size_t r = 0; r < c.energies.size(); ++r) {
        put_es10_4(c.energies[r], field);
        out.append(field, 10);
        for (std::size_t k = 0; k < columns; ++k) {
            const std::size_t at = r * columns + k;
            put_es10_4(at < c.values.size() ? c.values[at] : 0.0, field);
            out += ' ';
            out.append(field, 10);
        }
        out += '\n';
    }
    return out;
}

Result<DataFileContent> read_data_file(std::string_view text, ProcessKind kind,
                                       std::string_view file_name) {
    const HeaderPlan plan = header_plan(kind);
    DataFileContent c;
    c.kind = kind;
    LineCursor lines(text);
    std::string_view line;
    for (std::int32_t n = 1; n < plan.first_row; ++n) {
        if (!lines.next(line) || line.empty() || line[0] != '#')
            return refused(file_name, n);
        if (n == plan.grid) {
            const auto grid = read_grid_line(line);
            if (!grid)
                return refused(file_name, n);
            c.max_energy_ev = grid->max_energy;
            c.resolution_mev = grid->resolution_mev;
        } else if (n == plan.state_energy) {
            const auto energy = read_state_energy_line(line);
            if (!energy)
                return refused(file_name, n);
            c.state_energy_ev = *energy;
        } else if (n == plan.thresholds) {
            const std::string_view used = used_part(line);
            const std::size_t count = fields_after_first(used);
            for (std::size_t i = 1; i <= count; ++i) {
                const auto t = read_real_field(field_at(used, i * field_pitch, field_width));
                if (!t)
                    return refused(file_name, n);
                c.thresholds.push_back(*t);
            }
        } else {
            c.comments.emplace_back(line.substr(1));
        }
    }
    // Rows of exactly the energy and one field per column, each ten characters after a blank.
    const std::size_t columns = c.columns();
    while (lines.next(line) && line.size() == field_width + columns * field_pitch) {
        const auto energy = read_real_field(line.substr(0, field_width));
        if (!energy)
            break;
        std::vector<double> row;
        for (std::size_t k = 1; k <= columns; ++k) {
            const auto v = line[k * field_pitch - 1] == ' '
                               ? read_real_field(field_at(line, k * field_pitch, field_width))
                               : std::nullopt;
            if (!v)
                break;
            row.push_back(*v);
        }
        if (row.size() != columns)
            break;
        c.energies.push_back(*energy);
        c.values.insert(c.values.end(), row.begin(), row.end());
    }
    return c;
}

} // namespace sigmat::store
