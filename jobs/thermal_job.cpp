// The DEA cross section of a thermal gas: every state-resolved DEA file of the molecule,
// weighted with its Boltzmann population at the vibrational temperature Tv (between
// levels) and the rotational temperature TJ (within a level), summed on the grid of the
// ground-state file, normalised, optionally folded with the resolution, written to the
// data folder and plotted.
#include "app/resources/main_dialog_description.h"
#include "jobs/plot_jobs.h"
#include "numerics/convolution.h"
#include "numerics/thermal_average.h"
#include "store/database_files.h"
#include "store/es_fields.h"
#include "store/number_fields.h"
#include "store/result_files.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::jobs {
namespace {

namespace id = app::id;
using store::format_i;

constexpr int highest_level = 50;
constexpr int highest_rotation = 100; // J = 100 has no two-digit name: the walk ends there

// The text of the state file last read. The buffer is kept for all files of a run, so that
// reading a file allocates nothing once it is large enough.
struct FileText {
    std::vector<char> buffer;
    std::string_view text;
};

bool read_file(const std::string& path, FileText& file) {
    const auto size = store::read_file_into(path, file.buffer);
    if (!size)
        return false;
    file.text = std::string_view(file.buffer.data(), *size);
    return true;
}

std::string_view without_cr(std::string_view line) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

// The lines of a text one after the other (without their LF or CRLF ends); a final line end
// does not start another line.
struct LineCursor {
    const char* at;
    const char* end;
    explicit LineCursor(std::string_view text) : at(text.data()), end(text.data() + text.size()) {}

    bool next(std::string_view& line) {
        if (at == end)
            return false;
        const void* nl = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
        const char* stop = nl ? static_cast<const char*>(nl) : end;
        line = without_cr(std::string_view(at, static_cast<std::size_t>(stop - at)));
        at = nl ? stop + 1 : end;
        return true;
    }
};

// The header of a state file: its first eight lines (fewer when the file is shorter), and the
// cursor at the first data row.
struct Header {
    std::string_view lines[8];
    std::size_t count = 0;
};

Header read_header(LineCursor& cursor) {
    Header header;
    while (header.count < 8 && cursor.next(header.lines[header.count]))
        ++header.count;
    return header;
}

// A data row read as free-form numbers: the first two items of the line are the energy
// in eV and the cross section in A^2.
bool parse_row(std::string_view line, double& energy, double& cross_section) {
    // The rows as the database writes them, "E.EEEEE+00 S.SSSSE-17": the two fields directly.
    double e = 0.0, xs = 0.0;
    if (line.size() >= 21 && line[10] == ' ' &&
        (line.size() == 21 || line[21] == ' ' || line[21] == '\t' || line[21] == ',') &&
        store::read_es_layout(line.substr(0, 10), e) &&
        store::read_es_layout(line.substr(11, 10), xs)) {
        energy = e;
        cross_section = xs;
        return true;
    }
    auto first = store::read_real_item(line);
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
    auto second = store::read_real_item(line.substr(next));
    if (!second.ok())
        return false;
    energy = first.value;
    cross_section = second.value;
    return true;
}

// "# Energy = " ES11.4: the level energy, columns 12 to 22 of line 3.
bool level_energy(const Header& header, double& energy) {
    if (header.count < 3)
        return false;
    auto e = store::read_state_energy_line(header.lines[2]);
    if (!e)
        return false;
    energy = *e;
    return true;
}

// The next data row, or false at the end of the text. Rows as the database writes them, the
// two ES10.4 fields and the line end at fixed places, are read where they stand; any other
// line goes through parse_row.
bool next_row(LineCursor& cursor, numerics::StateRow& row) {
    const char* p = cursor.at;
    const std::ptrdiff_t left = cursor.end - p;
    if (left >= 22 && p[10] == ' ') {
        const std::size_t length = p[21] == '\n'                                    ? 22
                                   : (left >= 23 && p[21] == '\r' && p[22] == '\n') ? 23
                                                                                    : 0;
        if (length != 0 && store::read_es_pair(p, row.energy, row.cross_section)) {
            row.readable = true;
            cursor.at = p + length;
            return true;
        }
    }
    std::string_view line;
    if (!cursor.next(line))
        return false;
    row.readable = parse_row(line, row.energy, row.cross_section);
    return true;
}

// The energies of the rows repeat from file to file, each file's rows stepping along the same
// grid: for each grid point the ten characters of an energy that was read there and matched it
// (none yet: all zero). A row whose energy has exactly those characters matches without being
// read again.
struct KnownEnergies {
    std::vector<std::uint64_t> head; // characters 1 to 8
    std::vector<std::uint16_t> tail; // characters 9 and 10
    explicit KnownEnergies(std::size_t points) : head(points, 0), tail(points, 0) {}
};

std::uint16_t load_u16(const char* p) {
    std::uint16_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Length of a row as the database writes it, "E.EEEEE+00 S.SSSSE-17" and LF: energy, blank,
// cross section, line end at fixed places.
constexpr std::ptrdiff_t standard_row = 22;

// Adds the data rows after the header, with the outcome of numerics::add_state. Rows in the
// standard layout whose energy is known at their grid point take the short way: only the cross
// section is read, and added as numerics::add_state_row would.
numerics::AddOutcome add_rows(numerics::ThermalAverage& average, double weight, LineCursor& cursor,
                              KnownEnergies& known) {
    numerics::StateRow row;
    if (!next_row(cursor, row))
        return numerics::AddOutcome::skipped;
    numerics::StateCursor state;
    const numerics::AddOutcome outcome = numerics::start_state(average, weight, row, state);
    if (outcome != numerics::AddOutcome::added)
        return outcome;
    const char* p = cursor.at;
    const char* const end = cursor.end;
    double* const sums = average.sums.data();
    const std::uint64_t* const known_head = known.head.data();
    const std::uint16_t* const known_tail = known.tail.data();
    const double w = state.weight;
    const bool wide = store::es_fields_wide();
    while (numerics::state_wants_row(state)) {
        // As many standard rows as the text and the grid can still hold, one after the other.
        const std::size_t rows_left = static_cast<std::size_t>(end - p) / standard_row;
        const std::size_t stop =
            state.point + 1 + std::min(state.count - 1 - state.point, rows_left);
        std::size_t i = state.point + 1;
        // A row whose energy is known at grid point `at` and whose blank and line end stand
        // where they should.
        const auto framed_and_known = [&](const char* q, std::size_t at) {
            return q[10] == ' ' && q[21] == '\n' && store::detail::load_u64(q) == known_head[at] &&
                   load_u16(q + 8) == known_tail[at];
        };
        if (wide) {
            // By runs of rows: first the framing of up to 32 rows, then their cross sections
            // several at a time.
            while (i < stop) {
                constexpr std::size_t run = 32;
                const std::size_t most = std::min(run, stop - i);
                std::size_t framed = 0;
                while (framed < most && framed_and_known(p + framed * standard_row, i + framed))
                    ++framed;
                double cross_sections[run];
                const std::size_t read =
                    store::read_es_fields(p + 11, standard_row, framed, end, cross_sections);
                for (std::size_t k = 0; k < read; ++k)
                    sums[i + k] += cross_sections[k] * w;
                i += read;
                p += static_cast<std::ptrdiff_t>(read) * standard_row;
                if (read < most)
                    break;
            }
        } else {
            // Field by field, each row at once.
            double cross_section;
            for (; i < stop && framed_and_known(p, i) &&
                   store::read_es_unsigned(p + 11, cross_section);
                 ++i, p += standard_row)
                sums[i] += cross_section * w;
        }
        state.point = i - 1;
        if (!numerics::state_wants_row(state))
            break;
        // Any other row: read as next_row reads it.
        const bool standard = end - p >= standard_row && p[10] == ' ' && p[21] == '\n';
        cursor.at = p;
        if (!next_row(cursor, row))
            break;
        if (!numerics::add_state_row(average, state, row))
            return numerics::AddOutcome::incompatible;
        // Read from its own ten characters (not through the general rules) and matched.
        if (standard && cursor.at == p + standard_row && store::read_es_unsigned(p, row.energy)) {
            known.head[i] = store::detail::load_u64(p);
            known.tail[i] = load_u16(p + 8);
        }
        p = cursor.at;
    }
    return numerics::AddOutcome::added;
}

// The entries of one level's folder, listed once: the state files are looked up in it by name
// as find_in_tree would (the exact name when it exists, else the first entry in name order
// that differs in letter case only), without a directory scan per file.
struct FolderEntry {
    std::string name;
    bool exists = false;  // what the name leads to exists (a symbolic link is followed)
    bool regular = false; // and is a regular file
};

std::vector<FolderEntry> list_folder(const std::string& folder) {
    std::vector<FolderEntry> entries;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        FolderEntry entry;
        entry.name = it->path().filename().string();
        std::error_code type_ec;
        entry.exists = it->exists(type_ec);
        entry.regular = entry.exists && it->is_regular_file(type_ec);
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return entries;
}

const FolderEntry* find_entry(const std::vector<FolderEntry>& entries, std::string_view name) {
    const FolderEntry* match = nullptr;
    for (const FolderEntry& entry : entries) {
        if (entry.name == name && entry.exists)
            return &entry;
        if (match == nullptr && store::equal_ignoring_case(entry.name, name))
            match = &entry;
    }
    return match;
}

bool is_directory(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

} // namespace

void plot_thermal_average(platform::Platform& platform, app::PlotSettings& settings) {
    // Temperatures are whole kelvins from 0 to 9999: the four digits of the file names.
    // 0 K is the zero-temperature limit.
    std::string mol;
    Switches s;
    std::int32_t tv = 0, tj = 0;
    if (!read_molecule_checked(platform, mol) || !read_range(platform, settings, s) ||
        !read_whole_checked(platform, id::temp_vib, 0, 9999, "Set the vibrational temperature",
                            tv) ||
        !read_whole_checked(platform, id::temp_rot, 0, 9999, "Set the rotational temperature",
                            tj) ||
        !read_fwhm(platform, settings, s))
        return;
    const std::int32_t fwhm_mev = s.fwhm_mev;
    const double fwhm_ev = s.fwhm_ev;
    if (!enter_work_directory(platform, settings))
        return;
    if (!prepare_data_folder(platform, settings))
        return;

    std::string stem = mol + "_Tv" + format_i(tv, 4, 4) + "TJ" + format_i(tj, 4, 4) + "K";
    if (settings.useResolution)
        stem += "_FWHM" + format_i(fwhm_mev, 3, 3);
    const std::string result_name = stem + ".dat";
    const std::string result = data_relative(result_name);
    const std::string script = stem + ".plt";
    const std::string eol(platform::line_end);

    // The old result is looked for first; the script file is opened either way.
    const bool old_result = file_exists(result);
    auto script_out = platform.create_file(script);
    if (!script_out) {
        show_write_error(platform, script);
        return;
    }
    bool recompute = old_result ? ask_recalculate(platform) : true;

    if (recompute) {
        set_wait_indicator(platform, true);
        // Every exit from here on greys the indicator again first.
        auto fail = [&](auto&& show) {
            script_out.reset();
            set_wait_indicator(platform, false);
            show();
        };
        auto out = platform.create_file(result);
        if (!out) {
            fail([&] { show_write_error(platform, work_data_path(settings, result_name)); });
            return;
        }
        *out << "# Temperature averaged DEA cross section to " << mol << " molecule" << eol << "#"
             << eol << "# Tv = " << format_i(tv, 4) << " K, TJ = " << format_i(tj, 4) << " K"
             << eol;
        if (settings.useResolution)
            *out << "# FWHM = " << format_i(fwhm_mev, 3) << " meV" << eol;
        *out << "#" << eol << "# Energy   DEA c.s." << eol;
        out->flush();

        const double ktv = tv * numerics::boltzmann_ev_per_k;
        const double ktj = tj * numerics::boltzmann_ev_per_k;
        const std::string db = app::used_directory(settings.databaseDir);
        const std::string ground = store::dea_state_file_path(db, mol, 0, 0);
        FileText file;
        if (!read_file(ground, file)) {
            out.reset();
            fail([&] { show_error(platform, "Ground state data file not found"); });
            return;
        }
        // Line 3: E00; line 5: the top of the grid and its step; line 9: the first energy.
        // A step of 0 or less takes the spacing of the first two rows instead.
        double e00 = 0.0, e1 = 0.0, sigma1 = 0.0, e2 = 0.0, sigma2 = 0.0;
        std::optional<store::GridHeader> grid;
        {
            LineCursor cursor(file.text);
            const Header header = read_header(cursor);
            std::string_view line9, line10;
            const bool has9 = cursor.next(line9);
            bool header_ok = has9 && level_energy(header, e00);
            if (header_ok) {
                grid = store::read_grid_line(header.lines[4]);
                header_ok = grid && parse_row(line9, e1, sigma1);
            }
            if (header_ok && grid->resolution_mev <= 0)
                header_ok = cursor.next(line10) && parse_row(line10, e2, sigma2);
            if (!header_ok) {
                out.reset();
                fail([&] { show_read_error(platform, ground); });
                return;
            }
        }
        numerics::ThermalAverage average = numerics::start_average(
            numerics::build_grid(e1, grid->max_energy, grid->resolution_mev, e2), ktv, ktj, e00);
        KnownEnergies known(average.sums.size());

        for (int nu = 0; nu <= highest_level; ++nu) {
            const std::string vv = format_i(nu, 2, 2);
            const std::string folder = store::dea_level_folder_path(db, mol, nu);
            if (!is_directory(folder))
                break;
            const std::vector<FolderEntry> entries = list_folder(folder);
            double ev0 = 0.0;
            for (int j = 0; j <= highest_rotation; ++j) {
                const std::string name = "da" + vv + "j" + format_i(j, 2, 2) + ".dat";
                const FolderEntry* entry = find_entry(entries, name);
                if (entry == nullptr || !entry->regular)
                    break;
                const std::string path = store::join_path(folder, entry->name);
                if (!read_file(path, file))
                    break;
                LineCursor cursor(file.text);
                const Header header = read_header(cursor);
                double evj = 0.0;
                if (!level_energy(header, evj)) {
                    out.reset();
                    fail([&] { show_read_error(platform, path); });
                    return;
                }
                if (j == 0)
                    ev0 = evj;
                // A level energy far below its reference gives a population beyond any
                // double: such files do not belong together.
                const double w = numerics::state_weight(j, evj, ev0, e00, ktv, ktj);
                if (!std::isfinite(w) ||
                    add_rows(average, w, cursor, known) == numerics::AddOutcome::incompatible) {
                    out.reset();
                    fail([&] { show_error(platform, "Incompatible data files."); });
                    return;
                }
            }
        }
        // No state on the grid at all: nothing to average.
        if (!(average.weight_total > 0.0)) {
            out.reset();
            fail([&] { show_error(platform, "Incompatible data files."); });
            return;
        }
        numerics::finish_average(average);
        if (settings.useResolution)
            numerics::convolve_with_resolution(fwhm_ev, average.grid.energies, average.sums);
        std::string rows;
        char row[21];
        row[10] = ' ';
        for (std::size_t i = 0; i < average.sums.size(); ++i)
            if (average.sums[i] > 1e-20) {
                store::put_es10_4(average.grid.energies[i], row);
                store::put_es10_4(average.sums[i], row + 11);
                rows.append(row, sizeof row);
                rows += eol;
            }
        out->write(rows.data(), static_cast<std::streamsize>(rows.size()));
        out->flush();
        const bool written = static_cast<bool>(*out);
        out.reset();
        if (!written) {
            fail([&] { show_write_error(platform, work_data_path(settings, result_name)); });
            return;
        }
    }

    if (!enter_work_directory(platform, settings)) {
        script_out.reset();
        set_wait_indicator(platform, false);
        return;
    }
    bool v4 = settings.gnuplotV4;
    if (platform.get_checked(id::version4, v4))
        settings.gnuplotV4 = v4;
    std::string title =
        "DEA, " + mol + ", Tv = " + format_i(tv, 4) + "K, TJ = " + format_i(tj, 4) + "K";
    if (settings.useResolution)
        title += ", FWHM = " + format_i(fwhm_mev, 3) + " meV";
    std::ostream& lines_out = *script_out;
    lines_out << store::data_style_line(settings.dataStyle, settings.gnuplotV4) << eol
              << "#set encoding iso_8859_15" << eol
              << "#set terminal postscript enhanced color solid" << eol << "#set output" << eol
              << "#set ylabel 'Cross section [\\305^2]'" << eol
              << "set ylabel 'Cross section [A^2]'" << eol << "set xlabel 'Energy [eV]'" << eol
              << "plot " << store::range_text(settings.useEnergyRange, s.e_from, s.e_to) << " '"
              << work_data_path(settings, result_name) << "' u 1:2 t '" << title << "'" << eol
              << "pause -1" << eol
#ifdef _WIN32
              << "set terminal win" << eol
#else
      // There is no "win" terminal here; "pop" returns to the interactive one.
      << "set terminal pop" << eol
#endif
              << "set output" << eol;
    lines_out.flush();
    const bool script_ok = static_cast<bool>(lines_out);
    script_out.reset();
    set_wait_indicator(platform, false);
    if (!script_ok) {
        show_write_error(platform, script);
        return;
    }
    launch_plotter(platform, settings, script);
}

} // namespace sigmat::jobs
