// The data-file reader on every header layout.
//
// Input: one byte choosing the kind (its value modulo 4: DEA, VE, state-resolved AED, total
// AED), then the file's text.
#include "fuzz_support.h"
#include "store/data_files.h"
#include "store/number_fields.h"
#include "store/text_lines.h"

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

using namespace sigmat;
using sigmat::fuzz::check;

namespace {

constexpr std::int32_t first_data_line(store::ProcessKind kind) {
    switch (kind) {
    case store::ProcessKind::dea:
        return 9;
    case store::ProcessKind::ve:
    case store::ProcessKind::aed:
        return 10;
    case store::ProcessKind::aed_total:
        return 7;
    case store::ProcessKind::thermal: // an average has no file of its own
        break;
    }
    return 0;
}

// A header may legitimately ask for up to 100 million values; such tables are allocated and
// zero-filled, which takes long enough to stall the fuzzer. Inputs whose grid line asks for
// more than a few million values (but not so many that the reader refuses them) are passed
// over, so the fuzzer spends its time on the parsing.
bool too_large_to_try(std::string_view text, store::ProcessKind kind) {
    const auto lines = fuzz::split_lines(text);
    const std::size_t grid_index = kind == store::ProcessKind::aed_total ? 2 : 4;
    if (lines.size() <= grid_index)
        return false;
    std::string_view grid_line = lines[grid_index];
    if (!grid_line.empty() && grid_line.back() == '\r')
        grid_line.remove_suffix(1); // as the reader does with a CRLF line end
    const auto grid = store::read_grid_line(grid_line);
    if (!grid || grid->resolution_mev <= 0 || !std::isfinite(grid->max_energy))
        return false;
    double columns = 2.0;
    if (kind == store::ProcessKind::ve || kind == store::ProcessKind::aed)
        columns = lines.size() > 7 ? 1.0 + static_cast<double>(lines[7].size()) / 11.0 : 2.0;
    const double rows = grid->max_energy * 1000.0 / grid->resolution_mev;
    return rows * columns > 4e6;
}

store::Result<store::CrossSectionTable> read(const std::string& text, store::ProcessKind kind) {
    std::istringstream in(text);
    return store::read_cross_section_table(in, kind, "fuzz.dat");
}

} // namespace

// The line cursor gives the lines that getline gives, without their CR.
void check_line_readers(const std::string& text) {
    std::vector<std::string> expected;
    {
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            expected.push_back(line);
        }
    }
    store::LineCursor cursor(text);
    std::string_view line;
    std::size_t count = 0;
    while (cursor.next(line)) {
        check(count < expected.size() && line == expected[count], "line cursor: same line");
        ++count;
    }
    check(count == expected.size(), "line cursor: same number of lines");
    check(cursor.number == static_cast<std::int32_t>(count), "line cursor: line numbers");
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    check_line_readers(std::string(fuzz::as_text(data + 1, size - 1)));
    const auto kind = static_cast<store::ProcessKind>(data[0] % 4);
    const std::string text(fuzz::as_text(data + 1, size - 1));
    if (too_large_to_try(text, kind))
        return 0;

    const auto result = read(text, kind);
    if (!result.ok()) {
        // A refusal names the file and a header line with the message for the user.
        check(result.error().path == "fuzz.dat", "error names the file");
        check(result.error().message == store::cannot_read_message, "error message");
        check(result.error().line >= 1 && result.error().line < first_data_line(kind),
              "error line is a header line");
    } else {
        const auto& t = (*result);
        check(t.rows >= 0 && t.columns >= 2, "table shape");
        check(static_cast<std::int64_t>(t.values.size()) ==
                  static_cast<std::int64_t>(t.rows) * t.columns,
              "table size");
        if (kind == store::ProcessKind::dea || kind == store::ProcessKind::aed_total)
            check(t.columns == 2, "one cross section per row");
        for (double v : t.values)
            check(std::isfinite(v), "every table value is finite");
        const auto energies = t.column(1);
        for (std::size_t k = 1; k < energies.size(); ++k)
            check(energies[k - 1] <= energies[k], "grid energies ascend");
    }

    // CRLF line ends read the same as LF ones (a text with CRs of its own is not comparable).
    if (text.find('\r') == std::string::npos) {
        const auto crlf = read(fuzz::with_crlf(text), kind);
        check(crlf.ok() == result.ok(), "CRLF: same outcome");
        if (crlf.ok())
            check(crlf->rows == result->rows && crlf->columns == result->columns &&
                      crlf->values == result->values,
                  "CRLF: same table");
        else
            check(crlf.error().line == result.error().line, "CRLF: same error line");
    }
    return 0;
}
