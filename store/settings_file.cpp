#include "store/settings_file.h"

#include "store/number_fields.h"
#include "store/paths.h"
#include "store/text_lines.h"

#include <array>
#include <optional>
#include <sstream>

namespace sigmat::store {
namespace {

constexpr std::array<std::string_view, 5> keys = {
    "XS_DBASE dir = ", "Work dir = ", "gnuplot = ", "gnuplot version = ", "data style = "};

// The value part of line `index` (0-based): what follows the key, or nothing when the line
// is missing or shorter than its key.
std::optional<std::string_view> value_of(const std::array<std::optional<std::string>, 5>& lines,
                                         std::size_t index) {
    const auto& line = lines[index];
    if (!line || line->size() < keys[index].size())
        return std::nullopt;
    return std::string_view(*line).substr(keys[index].size());
}

// The data style that a two-character value stands for, or nothing when it names neither
// lines nor points.
std::optional<std::string> data_style_of(std::string_view value) {
    if (value == "l " || value == "p " || value == "lp")
        return std::string(value);
    bool lines = value.find('l') != std::string_view::npos;
    bool points = value.find('p') != std::string_view::npos;
    if (lines && points)
        return std::string("lp");
    if (lines)
        return std::string("l ");
    if (points)
        return std::string("p ");
    return std::nullopt;
}

} // namespace

std::string default_gnuplot_dir(std::string_view databaseDir) {
    return join_path(join_path(databaseDir, "gnuplot"), "bin");
}

SettingsValues first_start_values(std::string_view startupDir, std::string_view scriptsDir) {
    SettingsValues v;
    v.databaseDir = cut_directory(startupDir);
    v.workDir = cut_directory(scriptsDir);
    v.gnuplotDir = cut_directory(default_gnuplot_dir(used_directory(v.databaseDir)));
    v.gnuplotV4 = true;
    v.dataStyle = "l ";
    return v;
}

SettingsValues read_settings(std::istream& in, const SettingsValues& firstStart) {
    std::array<std::optional<std::string>, 5> lines;
    const std::string text = read_stream(in);
    LineCursor cursor(text);
    for (auto& line : lines) {
        std::string_view view;
        if (!cursor.next(view))
            break;
        line = std::string(view);
    }

    SettingsValues v;
    auto database = value_of(lines, 0);
    v.databaseDir = database ? cut_directory(*database) : firstStart.databaseDir;
    auto work = value_of(lines, 1);
    v.workDir = work ? cut_directory(*work) : firstStart.workDir;
    auto gnuplot = value_of(lines, 2);
    v.gnuplotDir = gnuplot ? cut_directory(*gnuplot)
                           : cut_directory(default_gnuplot_dir(used_directory(v.databaseDir)));

    v.gnuplotV4 = firstStart.gnuplotV4;
    if (auto version = value_of(lines, 3); version && !version->empty()) {
        char c = version->front();
        if (c == 'T')
            v.gnuplotV4 = true;
        else if (c == 'F')
            v.gnuplotV4 = false;
    }

    v.dataStyle = "l ";
    if (auto style = value_of(lines, 4)) {
        std::string two(style->substr(0, 2));
        two.resize(2, ' ');
        if (auto known = data_style_of(two))
            v.dataStyle = *known;
    }
    return v;
}

void write_settings(std::ostream& out, const SettingsValues& values) {
    // A directory whose name holds a line break cannot be a line of its own: its line is left
    // empty, which reads back as unreadable and so as the first-start value.
    const auto directory_line = [&](std::size_t index, const std::string& dir) {
        const std::string used = used_directory(dir);
        if (used.find_first_of("\r\n") == std::string::npos)
            out << keys[index] << used;
        out << line_end;
    };
    directory_line(0, values.databaseDir);
    directory_line(1, values.workDir);
    directory_line(2, values.gnuplotDir);
    out << keys[3] << (values.gnuplotV4 ? 'T' : 'F') << line_end;
    std::string style = values.dataStyle.substr(0, 2);
    style.resize(2, ' ');
    out << keys[4] << style << line_end;
}

std::string cut_directory(std::string_view text) {
    return std::string(text.substr(0, std::min(text.size(), directory_capacity)));
}

std::string used_directory(std::string_view text) {
    std::string padded = cut_directory(text);
    padded.resize(directory_capacity, ' ');
    return padded.substr(0, trimmed_length(padded));
}

std::string profile_folder(const std::optional<std::string>& userprofile,
                           const std::optional<std::string>& home) {
#ifdef _WIN32
    (void)home;
    return userprofile.value_or(std::string());
#else
    return userprofile ? *userprofile : home.value_or(std::string());
#endif
}

std::string settings_file_path(std::string_view profile) {
    return join_path(join_path(profile, settings_folder_name), settings_file_name);
}

Result<std::optional<std::string>> settings_database(FileSystem& files, std::string_view profile) {
    if (profile.empty())
        return std::optional<std::string>();
    const std::string path = settings_file_path(profile);
    FileBytes bytes;
    const ReadStatus read = read_small_file(files, path, bytes);
    if (read == ReadStatus::too_large)
        return data_error(path, 0, "larger than 1 MiB");
    if (read != ReadStatus::ok)
        return std::optional<std::string>();
    std::istringstream in{std::string(bytes.text())};
    const std::string db = used_directory(read_settings(in, SettingsValues{}).databaseDir);
    if (trim_right(db).empty())
        return std::optional<std::string>();
    return std::optional<std::string>(db);
}

} // namespace sigmat::store
