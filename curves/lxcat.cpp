#include "curves/lxcat.h"

#include "curves/text_cells.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace sigmat::curves {
namespace {

using detail::LineReader;
using detail::parse_real;
using detail::quoted;
using detail::trim;

constexpr std::array<LxcatKind, 5> all_kinds = {LxcatKind::elastic, LxcatKind::effective,
                                                LxcatKind::excitation, LxcatKind::ionization,
                                                LxcatKind::attachment};

constexpr std::string_view columns_text = "Energy (eV) | Cross section (m2)";

std::optional<LxcatKind> keyword_of(std::string_view line) {
    const std::string_view word = trim(line);
    for (const LxcatKind kind : all_kinds)
        if (word == lxcat_keyword(kind))
            return kind;
    return std::nullopt;
}

bool is_dashes(std::string_view line) {
    return line.starts_with("-----");
}

// %.6e in the C locale, whatever the process's locale.
void append_e6(std::string& out, double value) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 6);
    out.append(buf, r.ptr);
}

bool has_line_break(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

bool block_is_writable(const LxcatBlock& b) {
    for (const std::string* s : {&b.process, &b.species, &b.process_line, &b.param, &b.updated})
        if (has_line_break(*s))
            return false;
    for (const auto& c : b.comments)
        if (has_line_break(c))
            return false;
    if (b.kind != LxcatKind::attachment && !(b.line3 && std::isfinite(*b.line3)))
        return false;
    if (b.energy_ev.size() != b.sigma_m2.size() || b.energy_ev.empty())
        return false;
    for (std::size_t i = 0; i < b.energy_ev.size(); ++i) {
        if (!std::isfinite(b.energy_ev[i]) || !std::isfinite(b.sigma_m2[i]))
            return false;
        if (i > 0 && b.energy_ev[i] < b.energy_ev[i - 1])
            return false;
    }
    return true;
}

// Header lines "KEY: value": the value with the blanks after the colon dropped.
std::optional<std::string_view> field(std::string_view line, std::string_view key) {
    if (!line.starts_with(key))
        return std::nullopt;
    return trim(line.substr(key.size()));
}

// A COLUMNS line must put the table in eV and m2 (m^2).
bool columns_in_ev_and_m2(std::string_view text) {
    auto has = [text](std::string_view part) { return text.find(part) != std::string_view::npos; };
    return has("(eV)") && (has("(m2)") || has("(m^2)"));
}

class BlockReader {
  public:
    BlockReader(std::istream& in, std::string_view file) : lines_(in), file_(file) {}

    store::Result<std::vector<LxcatBlock>> read_all() {
        std::vector<LxcatBlock> blocks;
        std::string line;
        bool have_line = lines_.next(line);
        while (have_line) {
            const auto kind = keyword_of(line);
            if (!kind) {
                have_line = lines_.next(line);
                continue;
            }
            LxcatBlock block;
            block.kind = *kind;
            block.first_line = lines_.number();
            if (!read_block(block, line, have_line))
                return error_;
            blocks.push_back(std::move(block));
        }
        if (lines_.broken())
            return store::io_error(
                file_, std::string(file_) + ": the file could not be read to its end", 0);
        return blocks;
    }

  private:
    bool fail(std::int32_t line, std::string reason) {
        error_ = store::data_error(file_, line, reason);
        return false;
    }

    // Reads the block whose keyword was the current line. On success `line` holds the line after
    // the block (have_line false at the end of the file).
    bool read_block(LxcatBlock& block, std::string& line, bool& have_line) {
        const std::string_view keyword = lxcat_keyword(block.kind);
        if (!lines_.next(line))
            return fail(block.first_line, std::string(keyword) + " block without its process line");
        block.process = std::string(trim(line));

        have_line = lines_.next(line);
        if (block.kind != LxcatKind::attachment) {
            const auto cells = detail::blank_separated(line);
            const auto value = have_line && !cells.empty() ? parse_real(cells[0]) : std::nullopt;
            if (!value || !std::isfinite(*value)) {
                const char* what =
                    block.kind == LxcatKind::excitation || block.kind == LxcatKind::ionization
                        ? "the threshold in eV"
                        : "the mass ratio";
                return fail(have_line ? lines_.number() : block.first_line,
                            "line 3 of the " + std::string(keyword) + " block must hold " + what);
            }
            block.line3 = *value;
            have_line = lines_.next(line);
        } else if (have_line) {
            const auto cells = detail::blank_separated(line);
            if (!cells.empty())
                if (const auto value = parse_real(cells[0]); value && std::isfinite(*value)) {
                    block.line3 = *value;
                    have_line = lines_.next(line);
                }
        }

        for (;; have_line = lines_.next(line)) {
            if (!have_line || keyword_of(line))
                return fail(block.first_line, std::string(keyword) +
                                                  " block without the line of dashes that "
                                                  "opens its table");
            if (is_dashes(line))
                break;
            if (!read_header_line(block, line))
                return false;
        }
        if (!read_table(block, line))
            return false;
        have_line = lines_.next(line);
        return true;
    }

    bool read_header_line(LxcatBlock& block, const std::string& line) {
        if (const auto v = field(line, "SPECIES:")) {
            block.species = std::string(*v);
        } else if (const auto p = field(line, "PROCESS:")) {
            block.process_line = std::string(*p);
        } else if (const auto pa = field(line, "PARAM.:")) {
            block.param = std::string(*pa);
        } else if (const auto c = field(line, "COMMENT:")) {
            block.comments.emplace_back(*c);
        } else if (const auto u = field(line, "UPDATED:")) {
            block.updated = std::string(*u);
        } else if (const auto col = field(line, "COLUMNS:")) {
            if (!columns_in_ev_and_m2(*col))
                return fail(lines_.number(),
                            "the table's columns are not energy (eV) and cross section (m2)");
            block.columns = std::string(*col);
        } else if (!trim(line).empty()) {
            block.other_lines.push_back(line);
        }
        return true;
    }

    // From the opening line of dashes (the current line) to the closing one.
    bool read_table(LxcatBlock& block, std::string& line) {
        const std::int32_t opened = lines_.number();
        auto unclosed = [&] {
            return fail(opened, "the table opened here has no closing line of dashes");
        };
        while (true) {
            if (!lines_.next(line) || keyword_of(line) || trim(line).empty())
                return unclosed();
            if (is_dashes(line))
                break;
            const auto cells = detail::blank_separated(line);
            if (cells.size() != 2)
                return fail(lines_.number(), "a table row holds an energy and a cross section, "
                                             "this one " +
                                                 std::to_string(cells.size()) + " cells");
            double values[2];
            for (std::size_t i = 0; i < 2; ++i) {
                const auto v = parse_real(cells[i]);
                if (!v)
                    return fail(lines_.number(), "not a number: " + quoted(cells[i]));
                if (!std::isfinite(*v))
                    return fail(lines_.number(), "not a finite number: " + quoted(cells[i]));
                values[i] = *v;
            }
            if (!block.energy_ev.empty() && values[0] < block.energy_ev.back())
                return fail(lines_.number(), "the energy is below the row before");
            block.energy_ev.push_back(values[0]);
            block.sigma_m2.push_back(values[1]);
        }
        if (block.energy_ev.empty())
            return fail(opened, "the table holds no row");
        return true;
    }

    LineReader lines_;
    std::string_view file_;
    store::DataError error_;
};

} // namespace

std::string_view lxcat_keyword(LxcatKind kind) {
    switch (kind) {
    case LxcatKind::elastic:
        return "ELASTIC";
    case LxcatKind::effective:
        return "EFFECTIVE";
    case LxcatKind::excitation:
        return "EXCITATION";
    case LxcatKind::ionization:
        return "IONIZATION";
    case LxcatKind::attachment:
        break;
    }
    return "ATTACHMENT";
}

store::Status write_lxcat_block(std::ostream& out, const LxcatBlock& block) {
    if (!block_is_writable(block))
        return store::data_error({}, 0, "the curve cannot be written as an LXCat block");
    std::string text;
    text.reserve(400 + 28 * block.energy_ev.size());
    text.append(lxcat_keyword(block.kind)).append("\n");
    text.append(block.process).append("\n");
    if (block.kind != LxcatKind::attachment) {
        append_e6(text, *block.line3);
        text.append("\n");
    }
    text.append("SPECIES: ").append(block.species).append("\n");
    text.append("PROCESS: ").append(block.process_line).append("\n");
    text.append("PARAM.:  ").append(block.param).append("\n");
    for (const auto& c : block.comments)
        text.append("COMMENT: ").append(c).append("\n");
    text.append("UPDATED: ").append(block.updated).append("\n");
    text.append("COLUMNS: ").append(columns_text).append("\n");
    text.append(lxcat_dashes).append("\n");
    for (std::size_t i = 0; i < block.energy_ev.size(); ++i) {
        append_e6(text, block.energy_ev[i]);
        text.append("\t");
        append_e6(text, block.sigma_m2[i]);
        text.append("\n");
    }
    text.append(lxcat_dashes).append("\n\n");
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out)
        return store::io_error({}, "the LXCat text could not be written", 0);
    return {};
}

store::Result<std::vector<LxcatBlock>> read_lxcat(std::istream& in, std::string_view file_name) {
    return BlockReader(in, file_name).read_all();
}

std::string format_updated_utc(std::time_t t) {
    // Days since 1970-01-01 to a civil date (the days-from-civil inversion over 400-year eras
    // of 146097 days, the year starting in March so that leap days come last).
    const auto seconds = static_cast<long long>(t);
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const long long z = days + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long day = doy - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", year, month, day,
                  rest / 3600, rest % 3600 / 60, rest % 60);
    return buf;
}

} // namespace sigmat::curves
