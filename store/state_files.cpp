#include "store/state_files.h"

#include "store/data_files.h"
#include "store/internal/es_layout.h"
#include "store/number_fields.h"
#include "store/paths.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sigmat::store {
namespace {

std::uint16_t load_u16(const char* p) {
    std::uint16_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Length of a row as the database writes it, "E.EEEEE+00 S.SSSSE-17" and LF: energy, blank,
// cross section, line end at fixed places.
constexpr std::ptrdiff_t standard_row = 22;

// The header lines before the first data row.
constexpr std::int32_t header_lines = 8;

// The next data row, or false at the end of the text. Rows as the database writes them, the
// two ES10.4 fields and the line end at fixed places, are read where they stand; any other
// line goes through read_state_row.
bool next_row(LineCursor& cursor, StateRow& row) {
    const char* p = cursor.at;
    const std::ptrdiff_t left = cursor.end - p;
    if (left >= 22 && p[10] == ' ') {
        const std::size_t length = p[21] == '\n'                                    ? 22
                                   : (left >= 23 && p[21] == '\r' && p[22] == '\n') ? 23
                                                                                    : 0;
        if (length != 0 && read_es_pair(p, row.energy, row.cross_section)) {
            row.readable = true;
            cursor.at = p + length;
            return true;
        }
    }
    std::string_view line;
    if (!cursor.next(line))
        return false;
    row.readable = read_state_row(line, row.energy, row.cross_section);
    return true;
}

} // namespace

bool read_state_row(std::string_view line, double& energy, double& cross_section) {
    // The rows as the database writes them, "E.EEEEE+00 S.SSSSE-17": the two fields directly.
    double e = 0.0, xs = 0.0;
    if (line.size() >= 21 && line[10] == ' ' &&
        (line.size() == 21 || line[21] == ' ' || line[21] == '\t' || line[21] == ',') &&
        read_es_layout(line.substr(0, 10), e) && read_es_layout(line.substr(11, 10), xs)) {
        energy = e;
        cross_section = xs;
        return true;
    }
    auto first = read_real_item(line);
    if (!first.ok())
        return false;
    // Skip the first item and its separator to reach the second.
    std::size_t at = line.find_first_not_of(" \t");
    at = line.find_first_of(" \t,", at);
    if (at == std::string_view::npos)
        return false;
    std::size_t next = line.find_first_not_of(" \t", at);
    if (next != std::string_view::npos && line[next] == ',')
        ++next;
    if (next == std::string_view::npos || next >= line.size())
        return false;
    auto second = read_real_item(line.substr(next));
    if (!second.ok())
        return false;
    energy = first.value;
    cross_section = second.value;
    return true;
}

std::optional<double> read_level_energy(LineCursor& cursor) {
    std::string_view line, line3;
    std::int32_t count = 0;
    while (count < header_lines && cursor.next(line)) {
        ++count;
        if (count == 3)
            line3 = line;
    }
    if (count < 3)
        return std::nullopt;
    return read_state_energy_line(line3);
}

Result<GroundState> read_ground_state(std::string_view text, std::string_view file_name) {
    LineCursor cursor(text);
    std::string_view lines[header_lines];
    std::int32_t count = 0;
    while (count < header_lines && cursor.next(lines[count]))
        ++count;
    GroundState g;
    const auto refuse = [&](std::int32_t line) {
        return data_error(file_name, line, cannot_read_message);
    };
    std::optional<double> e00;
    if (count >= 3)
        e00 = read_state_energy_line(lines[2]);
    if (!e00)
        return refuse(3);
    g.e00 = *e00;
    std::optional<GridHeader> grid;
    if (count >= 5)
        grid = read_grid_line(lines[4]);
    if (!grid)
        return refuse(5);
    g.grid = *grid;
    // Line 9: the first row; line 10 only when the step comes from the rows.
    std::string_view line;
    double sigma = 0.0;
    if (count < header_lines || !cursor.next(line) || !read_state_row(line, g.e1, sigma))
        return refuse(9);
    if (g.grid.resolution_mev <= 0 && !(cursor.next(line) && read_state_row(line, g.e2, sigma)))
        return refuse(10);
    return g;
}

StateSpan read_state_rows(std::span<const double> grid, LineCursor& cursor, KnownEnergies& known,
                          RowSink sink, FieldReading reading) {
    StateSpan span;
    StateRow row;
    if (grid.empty() || !next_row(cursor, row))
        return span;
    // The first row: at the lowest grid point its energy matches; the grid ascends, so the
    // search ends once the grid is past it. Written so that a NaN energy never matches.
    const std::size_t count = grid.size();
    const auto matches = [&](double energy, std::size_t i) {
        return std::abs(energy - grid[i]) <= grid_match_tolerance_ev;
    };
    if (!row.readable || row.energy > grid.back())
        return span;
    std::size_t point = 0;
    while (point < count && !matches(row.energy, point)) {
        if (grid[point] > row.energy + grid_match_tolerance_ev)
            return span;
        ++point;
    }
    if (point == count)
        return span;
    span.outcome = RowsOutcome::on_grid;
    span.first = point;
    sink(point, &row.cross_section, 1);

    const char* p = cursor.at;
    const char* const end = cursor.end;
    const std::uint64_t* const known_head = known.head.data();
    const std::uint16_t* const known_tail = known.tail.data();
    const bool four_at_a_time = reading != FieldReading::one_by_one;
    constexpr std::size_t run = 32;
    double cross_sections[run];
    while (point + 1 < count) {
        // As many standard rows as the text and the grid can still hold, one after the other.
        const std::size_t rows_left = static_cast<std::size_t>(end - p) / standard_row;
        const std::size_t stop = point + 1 + std::min(count - 1 - point, rows_left);
        std::size_t i = point + 1;
        // A row whose energy is known at grid point `at` and whose blank and line end stand
        // where they should.
        const auto framed_and_known = [&](const char* q, std::size_t at) {
            return q[10] == ' ' && q[21] == '\n' && detail::load_u64(q) == known_head[at] &&
                   load_u16(q + 8) == known_tail[at];
        };
        // By runs of rows: first the framing of up to 32 rows, then their cross sections
        // (several at a time, or one by one), handed over together.
        while (i < stop) {
            const std::size_t most = std::min(run, stop - i);
            std::size_t framed = 0;
            while (framed < most && framed_and_known(p + framed * standard_row, i + framed))
                ++framed;
            std::size_t read = 0;
            if (four_at_a_time)
                read = read_es_fields(p + 11, standard_row, framed, end, cross_sections, reading);
            else
                while (read < framed &&
                       read_es_unsigned(p + 11 + read * standard_row, cross_sections[read]))
                    ++read;
            if (read > 0)
                sink(i, cross_sections, read);
            i += read;
            p += static_cast<std::ptrdiff_t>(read) * standard_row;
            if (read < most)
                break;
        }
        point = i - 1;
        if (point + 1 >= count)
            break;
        // Any other row: read as next_row reads it, and matched to its grid point.
        const bool standard = end - p >= standard_row && p[10] == ' ' && p[21] == '\n';
        cursor.at = p;
        if (!next_row(cursor, row))
            break;
        ++point;
        if (!row.readable || !matches(row.energy, point)) {
            span.outcome = RowsOutcome::incompatible;
            return span;
        }
        sink(point, &row.cross_section, 1);
        // Read from its own ten characters (not through the general rules) and matched.
        if (standard && cursor.at == p + standard_row && read_es_unsigned(p, row.energy)) {
            known.head[point] = detail::load_u64(p);
            known.tail[point] = load_u16(p + 8);
        }
        p = cursor.at;
    }
    span.last = point;
    return span;
}

std::string ground_state_path(FileSystem& files, std::string_view db, std::string_view molecule) {
    return find_in_tree(files, db, {molecule, "da", "nu00", dea_state_file_name(0, 0)});
}

Result<std::vector<StateFile>> list_state_files(FileSystem& files, std::string_view db,
                                                std::string_view molecule) {
    std::vector<StateFile> states;
    std::vector<FolderEntry> entries;
    for (std::int32_t v = 0; v <= highest_walked_level; ++v) {
        const std::string folder = dea_level_folder_path(files, db, molecule, v);
        if (files.stat(folder).kind != PathKind::directory)
            break;
        // A level that is there but cannot be listed would leave its states out unseen.
        if (!files.list(folder, entries))
            return data_error(folder, 0, cannot_read_folder_message);
        for (std::int32_t j = 0; j <= highest_walked_rotation; ++j) {
            const FolderEntry* entry = find_entry(entries, dea_state_file_name(v, j));
            if (entry == nullptr || entry->kind != PathKind::regular)
                break;
            states.push_back({v, j, join_path(folder, entry->name)});
        }
    }
    return states;
}

} // namespace sigmat::store
