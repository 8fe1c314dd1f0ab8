#include "curves/database_check.h"

#include "store/data_files.h"
#include "store/number_fields.h"
#include "store/paths.h"
#include "store/text_lines.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

namespace sigmat::curves {
namespace {

using store::ProcessKind;

std::string number(double x) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6g", x);
    return buffer;
}

// Two digits at `at` of `name`, or nothing.
std::optional<std::int32_t> two_digits(std::string_view name, std::size_t at) {
    if (name.size() < at + 2 || name[at] < '0' || name[at] > '9' || name[at + 1] < '0' ||
        name[at + 1] > '9')
        return std::nullopt;
    return (name[at] - '0') * 10 + (name[at + 1] - '0');
}

// The files of a state-resolved kind in the tree below `process_dir`: "nuVV/XXVVJjj.dat" (VE,
// DEA) keyed by (v, J), names matched ignoring letter case. Folders that are there but cannot
// be listed go to `unreadable`.
std::map<std::pair<int, int>, std::string> state_files(store::FileSystem& files,
                                                       const std::string& process_dir,
                                                       std::string_view prefix,
                                                       std::vector<std::string>& unreadable) {
    std::map<std::pair<int, int>, std::string> found;
    std::vector<store::FolderEntry> levels, entries;
    const auto listed = [&](const std::string& folder, std::vector<store::FolderEntry>& into) {
        if (files.list(folder, into))
            return true;
        if (files.stat(folder).kind == store::PathKind::directory)
            unreadable.push_back(folder);
        return false;
    };
    if (!listed(process_dir, levels))
        return found;
    for (const store::FolderEntry& level : levels) {
        const std::string name = store::to_lower(level.name);
        const auto v = two_digits(name, 2);
        if (level.kind != store::PathKind::directory || name.size() != 4 ||
            name.rfind("nu", 0) != 0 || !v)
            continue;
        const std::string folder = store::join_path(process_dir, level.name);
        if (!listed(folder, entries))
            continue;
        for (const store::FolderEntry& e : entries) {
            const std::string file = store::to_lower(e.name);
            // xxVVjJJ.dat
            if (e.kind != store::PathKind::regular || file.size() != 11 ||
                file.compare(0, 2, prefix) != 0 || file[4] != 'j' ||
                file.compare(7, 4, ".dat") != 0 || two_digits(file, 2) != v)
                continue;
            if (const auto j = two_digits(file, 5))
                found.emplace(std::pair{*v, *j}, store::join_path(folder, e.name));
        }
    }
    return found;
}

struct FileChecker {
    store::FileSystem& files;
    CheckReport& report;

    void add(bool error, const std::string& file, std::int32_t line, std::string what) {
        report.findings.push_back({error, file, line, std::move(what)});
    }

    // The rows of one data file against its own header. Returns the text's level energy
    // (DEA: line 3) when it can be read.
    std::optional<double> check(const std::string& path, ProcessKind kind) {
        ++report.files;
        store::FileBytes bytes;
        if (files.read(path, bytes) != store::ReadStatus::ok) {
            add(true, path, 0, "cannot be read");
            return std::nullopt;
        }
        const std::string_view text = bytes.text();
        auto table = store::read_cross_section_table(text, kind, path);
        if (!table) {
            add(true, path, table.error().line, "header line cannot be read");
            return std::nullopt;
        }
        store::LineCursor cursor(text);
        std::string_view line;
        const std::int32_t header = kind == ProcessKind::dea         ? 8
                                    : kind == ProcessKind::aed_total ? 6
                                                                     : 9;
        std::optional<double> level;
        std::optional<store::GridHeader> grid;
        for (std::int32_t n = 1; n <= header && cursor.next(line); ++n) {
            if (kind == ProcessKind::dea && n == 3)
                level = store::read_state_energy_line(line);
            if (n == (kind == ProcessKind::aed_total ? 3 : 5))
                grid = store::read_grid_line(line);
        }
        if (kind == ProcessKind::dea && !level)
            add(true, path, 3, "the level energy cannot be read");
        const double step = grid->resolution_mev * 0.001;
        const double top = std::trunc(grid->max_energy / step) * step;

        double previous = -HUGE_VAL;
        std::optional<double> last_energy;
        bool ended = false, negative_told = false;
        std::int32_t empty_at = 0;
        while (cursor.next(line)) {
            const std::int32_t n = cursor.number;
            if (line.find_first_not_of(" \t") == std::string_view::npos) {
                if (empty_at == 0)
                    empty_at = n;
                continue;
            }
            if (empty_at != 0 && !ended) {
                add(true, path, empty_at,
                    "an empty line ends the table: the rows after it are not read");
                ended = true;
            }
            if (ended)
                continue;
            std::vector<double> cells;
            std::size_t at = 0;
            bool readable = true;
            while (at < line.size()) {
                at = line.find_first_not_of(" \t,", at);
                if (at == std::string_view::npos)
                    break;
                const std::size_t end = std::min(line.find_first_of(" \t,", at), line.size());
                const auto item = store::read_real_item(line.substr(at, end - at));
                if (!item.ok()) {
                    readable = false;
                    break;
                }
                cells.push_back(item.value);
                at = end;
            }
            if (!readable || cells.size() < 2) {
                add(true, path, n, "the row cannot be read: the table ends here");
                ended = true;
                continue;
            }
            if (!std::all_of(cells.begin(), cells.end(),
                             [](double x) { return std::isfinite(x); })) {
                add(true, path, n, "a value is not a finite number");
                ended = true;
                continue;
            }
            const double e = cells[0];
            if (!(e > previous)) {
                add(true, path, n,
                    "the energy " + number(e) + " eV does not rise: the table ends here");
                ended = true;
                continue;
            }
            const double k = (top - e) / step;
            if (std::abs(k - std::round(k)) * step > 1e-8 || e > top + 1e-8) {
                add(true, path, n,
                    "the energy " + number(e) + " eV lies off the grid of " + number(step) +
                        " eV steps up to " + number(top) + " eV: the table ends here");
                ended = true;
                continue;
            }
            if (!negative_told &&
                std::any_of(cells.begin() + 1, cells.end(), [](double x) { return x < 0.0; })) {
                add(false, path, n, "a negative cross section");
                negative_told = true;
            }
            previous = e;
            last_energy = e;
        }
        if (cursor.too_long)
            add(true, path, cursor.number + 1, "a line above the length the readers take");
        if (!ended && (!last_energy || *last_energy < top - 1e-8))
            add(false, path, 0,
                "the table ends at " +
                    (last_energy ? number(*last_energy) : std::string("no row")) +
                    " eV, below the header's maximum energy " + number(top) + " eV");
        return level;
    }
};

} // namespace

std::int32_t CheckReport::errors() const {
    return static_cast<std::int32_t>(
        std::count_if(findings.begin(), findings.end(), [](const Finding& f) { return f.error; }));
}

std::int32_t CheckReport::warnings() const {
    return static_cast<std::int32_t>(findings.size()) - errors();
}

CheckReport check_database(store::FileSystem& files, const std::string& db,
                           const std::vector<ListedMolecule>& listed,
                           const std::string& listing_file) {
    CheckReport report;
    FileChecker checker{files, report};
    for (const ListedMolecule& mol : listed) {
        ++report.molecules;
        std::vector<std::string> unreadable;
        const auto dea =
            state_files(files, store::find_in_tree(files, db, {mol.code, "DA"}), "da", unreadable);
        std::map<std::pair<int, int>, double> levels;
        for (const auto& [state, path] : dea)
            if (const auto level = checker.check(path, ProcessKind::dea))
                levels[state] = *level;

        // The listing against the files, both ways.
        for (std::size_t v = 0; v < mol.j_max.size(); ++v)
            for (std::int32_t j = 0; j <= mol.j_max[v]; ++j)
                if (dea.count({static_cast<int>(v), j}) == 0)
                    checker.add(true,
                                store::state_file_path(files, db, "DA", mol.code,
                                                       static_cast<std::int32_t>(v), j),
                                0,
                                "listed in " + listing_file + " (v = " + std::to_string(v) +
                                    ", J = " + std::to_string(j) + "), but there is no such file");
        for (const auto& [state, path] : dea) {
            const auto v = static_cast<std::size_t>(state.first);
            if (v >= mol.j_max.size() || state.second > mol.j_max[v])
                checker.add(false, path, 0, "not listed in " + listing_file);
        }
        // Gaps in J: the temperature average walks J = 0, 1, ... and stops at the first gap.
        std::map<int, std::set<int>> by_level;
        for (const auto& [state, path] : dea)
            by_level[state.first].insert(state.second);
        for (const auto& [v, js] : by_level) {
            int walked = 0;
            while (js.count(walked) != 0)
                ++walked;
            const auto beyond = js.upper_bound(walked);
            if (beyond != js.end())
                checker.add(false, dea.at({v, *beyond}), 0,
                            "J = " + std::to_string(walked) + " of v = " + std::to_string(v) +
                                " is missing: the temperature average stops there and leaves "
                                "out J = " +
                                std::to_string(*beyond) + " to " + std::to_string(*js.rbegin()));
        }

        // VE: the rows, and each threshold into a higher level against the state energies.
        const auto ve =
            state_files(files, store::find_in_tree(files, db, {mol.code, "VE"}), "ve", unreadable);
        for (const std::string& folder : unreadable)
            checker.add(true, folder, 0, std::string(store::cannot_read_folder_message));
        for (const auto& [state, path] : ve) {
            checker.check(path, ProcessKind::ve);
            store::FileBytes bytes;
            if (files.read(path, bytes) != store::ReadStatus::ok)
                continue;
            const auto table = store::read_cross_section_table(bytes.text(), ProcessKind::ve, path);
            if (!table || levels.count(state) == 0)
                continue;
            const auto [v, j] = state;
            for (std::size_t c = 0; c < table->thresholds.size(); ++c) {
                const int vf = static_cast<int>(c);
                if (vf <= v || levels.count({vf, j}) == 0)
                    continue;
                const double expected = levels.at({vf, j}) - levels.at(state);
                if (std::abs(table->thresholds[c] - expected) > 1e-3)
                    checker.add(false, path, 8,
                                "the threshold of v' = " + std::to_string(vf) + ", " +
                                    number(table->thresholds[c]) + " eV, is " +
                                    number(std::abs(table->thresholds[c] - expected) * 1000) +
                                    " meV from the state energies' difference, " +
                                    number(expected) + " eV");
            }
        }

        // AED: each J's file and the total.
        const std::string ad = store::find_in_tree(files, db, {mol.code, "AD"});
        std::vector<store::FolderEntry> entries;
        if (files.list(ad, entries)) {
            std::sort(entries.begin(), entries.end(),
                      [](const store::FolderEntry& a, const store::FolderEntry& b) {
                          return a.name < b.name;
                      });
            for (const store::FolderEntry& e : entries) {
                const std::string name = store::to_lower(e.name);
                if (e.kind != store::PathKind::regular)
                    continue;
                if (name == "adtot.dat")
                    checker.check(store::join_path(ad, e.name), ProcessKind::aed_total);
                else if (name.size() == 9 && name.rfind("adj", 0) == 0 &&
                         name.compare(5, 4, ".dat") == 0 && two_digits(name, 3))
                    checker.check(store::join_path(ad, e.name), ProcessKind::aed);
            }
        }
    }
    return report;
}

} // namespace sigmat::curves
