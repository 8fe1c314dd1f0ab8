// Names written into gnuplot scripts, whatever bytes they hold.
//
// Input: the bytes of a name. Checked: a name either is refused, or its quoted form, read
// back by the rule gnuplot applies between single quotes ('' is one quote, nothing else is
// special, the closing quote ends the name), gives exactly the name and ends the text there;
// a relative path anchored for a plot command never starts with a character that gnuplot
// treats specially at the start of a file name; and the name's bytes survive the way into
// the dialog and back.
#include "fuzz_support.h"
#include "process/text_bytes.h"
#include "store/paths.h"
#include "store/plot_scripts.h"

#include <cstdint>
#include <optional>
#include <string>

using namespace sigmat;
using sigmat::fuzz::check;

namespace {

// gnuplot's reading of a single-quoted string at the start of `text`: the string and the
// number of characters it took, or nothing when it is not closed.
std::optional<std::string> read_back(std::string_view text, std::size_t& used) {
    if (text.empty() || text[0] != '\'')
        return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] != '\'') {
            out += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\'') {
            out += '\'';
            ++i;
            continue;
        }
        used = i + 1;
        return out;
    }
    return std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name(fuzz::as_text(data, size));
    const auto quoted = store::gnuplot_quoted(name);
    check(quoted.has_value() == store::usable_in_script(name), "refused exactly when unusable");
    if (quoted) {
        std::size_t used = 0;
        const auto back = read_back(*quoted + " u 1:2", used);
        check(back.has_value(), "the quoted name is closed");
        check(*back == name, "read back gives the name");
        check(used == quoted->size(), "the name ends where the quotes do");
        for (const char c : *quoted)
            check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F, "no control character");
    }
    if (!name.empty() && !store::is_absolute_path(name)) {
        const std::string anchored = store::anchored_path(name);
        check(anchored[0] == '.', "a relative path starts with a dot");
        check(anchored.size() >= name.size(), "nothing is cut");
        check(anchored.substr(anchored.size() - name.size()) == name, "the name follows");
    }
    check(process::utf16_to_bytes(process::bytes_to_utf16(name)) == name,
          "bytes survive the dialog");
    return 0;
}
