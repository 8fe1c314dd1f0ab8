#include "store/database_files.h"

#include "platform/platform.h"
#include "store/es_fields.h"
#include "store/number_fields.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <new>

namespace sigmat::store {
namespace {

namespace fs = std::filesystem;

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

std::optional<Layout> layout_of(DataFileKind kind) {
    switch (kind) {
    case DataFileKind::dea:
        return Layout{5, 0, 9};
    case DataFileKind::ve:
    case DataFileKind::aed_state:
        return Layout{5, 8, 10};
    case DataFileKind::aed_total:
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
bool read_standard_row(std::string_view line, std::span<double> fields, const char* readable_end) {
    const std::size_t count = fields.size();
    if (line.size() + 1 != field_pitch * count)
        return false;
    return read_es_fields(line.data(), field_pitch, count, readable_end, fields.data()) == count;
}

struct LineReader {
    std::istream& in;
    std::int32_t number = 0; // the line last read, 1-based

    bool next(std::string& line) {
        if (!read_text_line(in, line))
            return false;
        ++number;
        return true;
    }
};

// Characters read from the stream at a time.
constexpr std::size_t block_size = std::size_t{1} << 16;

std::string_view without_cr(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

TableRead refused(std::string_view file, std::int32_t line) {
    TableRead result;
    result.error = {std::string(file), line, std::string(cannot_read_message)};
    return result;
}

} // namespace

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

bool read_text_line(std::istream& in, std::string& line) {
    if (!std::getline(in, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

bool next_line(BlockLines& lines, std::string_view& line) {
    std::size_t searched = lines.at;
    for (;;) {
        const char* const text = lines.buffer.data();
        const void* nl = searched < lines.filled
                             ? std::memchr(text + searched, '\n', lines.filled - searched)
                             : nullptr;
        if (nl != nullptr) {
            const auto end = static_cast<std::size_t>(static_cast<const char*>(nl) - text);
            line = without_cr(std::string_view(text + lines.at, end - lines.at));
            lines.at = end + 1;
            return true;
        }
        if (lines.at_end) {
            if (lines.at >= lines.filled)
                return false;
            // The last line, without a line end of its own.
            line = without_cr(std::string_view(text + lines.at, lines.filled - lines.at));
            lines.at = lines.filled;
            return true;
        }
        // Keep the unfinished line at the front and append the next block.
        const std::size_t kept = lines.filled - lines.at;
        if (kept > 0 && lines.at > 0)
            std::memmove(lines.buffer.data(), text + lines.at, kept);
        lines.at = 0;
        lines.filled = kept;
        searched = kept;
        std::streamsize got = 0;
        if (lines.in.good() && lines.in.rdbuf() != nullptr) {
            if (lines.buffer.size() < kept + block_size)
                lines.buffer.resize(kept + block_size);
            got = lines.in.rdbuf()->sgetn(lines.buffer.data() + kept,
                                          static_cast<std::streamsize>(block_size));
            lines.filled += static_cast<std::size_t>(std::max<std::streamsize>(got, 0));
        }
        if (got <= 0) {
            lines.at_end = true;
            lines.in.setstate(std::ios::eofbit);
        }
    }
}

bool read_text_file(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return false;
    text.clear();
    // One read of the whole file when its size is known; blocks for whatever follows.
    const auto size = in.rdbuf()->pubseekoff(0, std::ios::end, std::ios::in);
    if (in.rdbuf()->pubseekpos(0, std::ios::in) != 0)
        return false;
    std::size_t chunk = block_size;
    if (size > 0)
        chunk = std::max(chunk, static_cast<std::size_t>(size) + 1);
    for (;;) {
        const std::size_t have = text.size();
        text.resize(have + chunk);
        const std::streamsize got =
            in.rdbuf()->sgetn(text.data() + have, static_cast<std::streamsize>(chunk));
        text.resize(have + static_cast<std::size_t>(std::max<std::streamsize>(got, 0)));
        if (got <= 0)
            return true;
        chunk = block_size;
    }
}

std::optional<std::size_t> read_file_into(const std::string& path, std::vector<char>& buffer) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return std::nullopt;
    std::size_t size = 0;
    for (;;) {
        if (buffer.size() - size < block_size)
            buffer.resize(std::max(2 * buffer.size(), size + block_size));
        const std::size_t want = buffer.size() - size;
        const std::size_t got = std::fread(buffer.data() + size, 1, want, file);
        size += got;
        if (got < want)
            break;
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return std::nullopt;
    return size;
}

void split_lines(std::string_view text, std::vector<std::string_view>& lines) {
    lines.clear();
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t nl = text.find('\n', start);
        const std::size_t end = nl == std::string_view::npos ? text.size() : nl;
        lines.push_back(without_cr(text.substr(start, end - start)));
        if (nl == std::string_view::npos)
            break;
        start = nl + 1;
    }
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

TableRead read_cross_section_table(std::istream& in, DataFileKind kind,
                                   std::string_view file_name) {
    auto layout = layout_of(kind);
    if (!layout)
        return refused(file_name, 0);

    // Header: every line before the first data row must be there; only the grid line and
    // the thresholds line are looked at.
    BlockLines lines(in);
    std::string_view line;
    const auto next = [&] { return next_line(lines, line); };
    GridHeader grid;
    std::size_t thresholds = 1;
    for (std::int32_t n = 1; n < layout->first_data_line; ++n) {
        if (!next())
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
            for (std::size_t i = 1; i <= thresholds; ++i)
                if (!read_real_field(field_at(used, i * field_pitch, field_width)))
                    return refused(file_name, n);
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

    TableRead result;
    CrossSectionTable& table = result.table;
    try {
        table.values.resize(static_cast<std::size_t>(rows * columns));
    } catch (const std::bad_alloc&) {
        return refused(file_name, layout->grid_line);
    }
    table.rows = static_cast<std::int32_t>(rows);
    table.columns = static_cast<std::int32_t>(columns);
    auto energies = table.column(1);
    for (std::int32_t k = 1; k <= table.rows; ++k)
        energies[static_cast<std::size_t>(k - 1)] = e_max - step * (table.rows - k);

    // Walk the grid with the current file row.
    // The fields of the current row: its energy, then its values.
    std::vector<double> fields(static_cast<std::size_t>(columns), 0.0);
    const std::span<double> row_values = std::span(fields).subspan(1);
    double& energy = fields[0];
    const auto read_row = [&] {
        return next() && (read_standard_row(line, fields, lines.buffer.data() + lines.filled) ||
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

    result.ok = true;
    return result;
}

TableRead read_cross_section_table(const std::string& path, DataFileKind kind) {
    std::ifstream in;
    if (data_file_exists(path))
        in.open(path, std::ios::binary);
    if (!in.is_open()) {
        TableRead result;
        result.error = {path, 0, std::string(not_found_message)};
        return result;
    }
    return read_cross_section_table(in, kind, path);
}

DeaHeaderRead read_dea_header(std::istream& in, std::string_view file_name, bool with_grid) {
    DeaHeaderRead result;
    LineReader reader{in};
    std::string line;
    for (std::int32_t n = 1; n <= 8; ++n) {
        bool ok = reader.next(line);
        if (ok && n == 3) {
            auto e = read_state_energy_line(line);
            ok = e.has_value();
            if (ok)
                result.header.state_energy = *e;
        } else if (ok && n == 5 && with_grid) {
            auto g = read_grid_line(line);
            ok = g && g->resolution_mev > 0;
            if (ok) {
                result.header.max_energy = g->max_energy;
                result.header.resolution_mev = g->resolution_mev;
            }
        }
        if (!ok) {
            result.error = {std::string(file_name), n, std::string(cannot_read_message)};
            return result;
        }
    }
    result.ok = true;
    return result;
}

std::string join_path(std::string_view dir, std::string_view name) {
    std::string path(dir);
    bool ends_with_separator =
        !path.empty() && (path.back() == platform::path_separator || path.back() == '/');
    if (!path.empty() && !ends_with_separator)
        path += platform::path_separator;
    path += name;
    return path;
}

std::string find_in_tree(std::string_view base,
                         std::initializer_list<std::string_view> components) {
    std::string path(base);
    bool found_so_far = true;
    for (std::string_view component : components) {
        std::string name(component);
        if (found_so_far) {
            std::error_code ec;
#ifdef _WIN32
            // Windows finds a name whatever its case: only the folder's entry tells how it is
            // spelt on disk.
            const bool spelt_as_on_disk = false;
#else
            const bool spelt_as_on_disk =
                fs::exists(fs::status(fs::path(join_path(path, component)), ec));
#endif
            if (!spelt_as_on_disk) {
                // Not there as spelt: the first entry of the folder that differs in case only.
                std::optional<std::string> match;
                fs::directory_iterator it(path.empty() ? fs::path(".") : fs::path(path), ec);
                for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
                    std::string entry = it->path().filename().string();
                    if (equal_ignoring_case(entry, component) && (!match || entry < *match))
                        match = std::move(entry);
                }
                if (match)
                    name = std::move(*match);
                else
                    found_so_far = false;
            }
        }
        path = join_path(path, name);
    }
    return path;
}

std::string_view database_dir_text(std::string_view db) {
    return trim_right(db);
}

std::string database_file_path(std::string_view db, std::string_view process_code,
                               std::string_view molecule, std::int32_t v, std::int32_t j) {
    const std::string vv = format_i(v, 2, 2);
    const std::string jj = format_i(j, 2, 2);
    const std::string pc(process_code);
    return find_in_tree(database_dir_text(db),
                        {trim_right(molecule), pc, "nu" + vv, pc + vv + "J" + jj + ".dat"});
}

std::string aed_state_file_path(std::string_view db, std::string_view molecule, std::int32_t j) {
    return find_in_tree(database_dir_text(db),
                        {trim_right(molecule), "AD", "adJ" + format_i(j, 2, 2) + ".dat"});
}

std::string aed_total_file_path(std::string_view db, std::string_view molecule) {
    return find_in_tree(database_dir_text(db), {trim_right(molecule), "AD", "adTot.dat"});
}

std::string dea_level_folder_path(std::string_view db, std::string_view molecule, std::int32_t v) {
    return find_in_tree(database_dir_text(db),
                        {trim_right(molecule), "da", "nu" + format_i(v, 2, 2)});
}

std::string dea_state_file_path(std::string_view db, std::string_view molecule, std::int32_t v,
                                std::int32_t j) {
    const std::string vv = format_i(v, 2, 2);
    return find_in_tree(database_dir_text(db), {trim_right(molecule), "da", "nu" + vv,
                                                "da" + vv + "j" + format_i(j, 2, 2) + ".dat"});
}

bool data_file_exists(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(fs::path(path), ec))
        return false;
    std::ifstream in(path, std::ios::binary);
    return in.is_open();
}

} // namespace sigmat::store
