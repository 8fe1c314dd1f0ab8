#include "store/catalogue_file.h"

#include "store/number_fields.h"
#include "store/text_lines.h"

#include <sstream>
#include <string_view>

namespace sigmat::store {
namespace {

// One line without its line end (LF or CRLF); false at the end of the text.
bool next_line(LineCursor& lines, std::string& line) {
    std::string_view view;
    if (!lines.next(view))
        return false;
    line = std::string(view);
    return true;
}

// Columns of a data line (0-based starts): the code, the level v and its highest J.
constexpr std::size_t code_column = 0, code_width = 3;
constexpr std::size_t level_column = 10, level_width = 2;
constexpr std::size_t rot_column = 22, rot_width = 2;
constexpr std::size_t data_line_length = rot_column + rot_width;

bool is_marker(std::string_view line) {
    return line.substr(0, 3) == "###";
}

struct DataLine {
    std::int32_t level = 0;
    std::int32_t rot = 0;
};

// The level and J of a data line, when the line reaches column 24 and both fields hold
// numbers within their ranges.
std::optional<DataLine> read_data_line(std::string_view line) {
    if (line.size() < data_line_length)
        return std::nullopt;
    auto level = read_int_field(line.substr(level_column, level_width));
    auto rot = read_int_field(line.substr(rot_column, rot_width));
    if (!level || !rot || *level < 0 || *level > highest_vib_level || *rot < 0 ||
        *rot > highest_rot_level)
        return std::nullopt;
    return DataLine{*level, *rot};
}

// A code names folders, files and script lines: one that could leave the database or the
// work folder ("/", "\\", ".", a leading "-"), break a quoted script name ("'") or a line
// (control characters) is not a molecule code.
bool usable_code(std::string_view code) {
    if (!code.empty() && code.front() == '-')
        return false;
    for (const char c : code) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || c == '.' || c == '\'' || byte < 0x20 || byte == 0x7F)
            return false;
    }
    return true;
}

} // namespace

std::int32_t StateCatalogue::rot_max(std::int32_t k, std::int32_t v) const {
    if (k < 1 || static_cast<std::size_t>(k) > rotMax.size() || v < 0 || v > highest_vib_level)
        return 0;
    return rotMax[static_cast<std::size_t>(k - 1)][static_cast<std::size_t>(v)];
}

std::int32_t StateCatalogue::vib_max(std::int32_t k) const {
    if (k < 1 || static_cast<std::size_t>(k) > vibMax.size())
        return 0;
    return vibMax[static_cast<std::size_t>(k - 1)];
}

StateCatalogue builtin_catalogue() {
    static constexpr const char* builtin_codes[] = {"H2 ", "D2 ", "HBr", "DBr", "HCl", "DCl",
                                                    "HI ", "DI ", "HF ", "DF ", "Cl2"};
    constexpr std::int32_t builtin_vib_max = 8;
    constexpr std::int32_t builtin_rot_max = 50;

    StateCatalogue c;
    for (const char* code : builtin_codes) {
        c.codes.emplace_back(code);
        c.vibMax.push_back(builtin_vib_max);
        std::array<std::int32_t, highest_vib_level + 1> levels{};
        for (std::int32_t v = 0; v <= builtin_vib_max; ++v)
            levels[static_cast<std::size_t>(v)] = builtin_rot_max;
        c.rotMax.push_back(levels);
    }
    c.moleculeCount = static_cast<std::int32_t>(c.codes.size());
    return c;
}

std::optional<StateCatalogue> read_catalogue(std::istream& stream) {
    const std::string text = read_stream(stream);
    LineCursor in(text);
    std::string line;
    if (!next_line(in, line))
        return std::nullopt;
    // N is two columns wide, so at most 99 molecules.
    auto count = read_int_field(field_at(line, 0, 2));
    if (!count || *count < 1)
        return std::nullopt;

    StateCatalogue c;
    c.moleculeCount = *count;
    for (std::int32_t i = 0; i < *count; ++i) {
        // The block's first line is always a data line and carries the code.
        if (!next_line(in, line))
            return std::nullopt;
        auto first = read_data_line(line);
        if (!first)
            return std::nullopt;
        std::array<std::int32_t, highest_vib_level + 1> levels{};
        levels[static_cast<std::size_t>(first->level)] = first->rot;
        std::int32_t last_level = first->level;
        const std::string code = line.substr(code_column, code_width);
        if (!usable_code(code))
            return std::nullopt;
        c.codes.push_back(code);

        // Further data lines up to the marker; a level listed twice keeps its last J.
        for (;;) {
            if (!next_line(in, line))
                return std::nullopt;
            if (is_marker(line))
                break;
            auto data = read_data_line(line);
            if (!data)
                return std::nullopt;
            levels[static_cast<std::size_t>(data->level)] = data->rot;
            last_level = data->level;
        }
        // The separator line after every marker, the last block's included.
        if (!next_line(in, line))
            return std::nullopt;

        c.vibMax.push_back(last_level);
        c.rotMax.push_back(levels);
    }
    return c;
}

std::string write_catalogue(const StateCatalogue& catalogue, std::string_view title) {
    std::string out = format_i(static_cast<std::int64_t>(catalogue.codes.size()), 2);
    if (!title.empty())
        out.append("  ").append(title);
    out += '\n';
    for (std::size_t k = 0; k < catalogue.codes.size(); ++k) {
        std::string code = catalogue.codes[k].substr(0, code_width);
        code.resize(code_width, ' ');
        const auto index = static_cast<std::int32_t>(k + 1);
        for (std::int32_t v = 0; v <= catalogue.vib_max(index); ++v)
            out += code + ", nu = " + format_i(v, 2) +
                   ": J_max = " + format_i(catalogue.rot_max(index, v), 2) + "\n";
        out += "###\n\n";
    }
    return out;
}

StateCatalogue load_catalogue(FileSystem& files, const std::string& path) {
    FileBytes bytes;
    if (read_small_file(files, path, bytes) != ReadStatus::ok)
        return builtin_catalogue();
    std::istringstream in{std::string(bytes.text())};
    auto read = read_catalogue(in);
    return read ? std::move(*read) : builtin_catalogue();
}

} // namespace sigmat::store
