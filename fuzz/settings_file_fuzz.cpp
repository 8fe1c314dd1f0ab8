// The settings file Sigmat.ini: any text gives usable settings, and what Save setup writes
// from them reads back to the same settings.
#include "fuzz_support.h"
#include "store/settings_file.h"

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>

using namespace sigmat;
using sigmat::fuzz::check;

namespace {

const store::SettingsValues& first_start() {
    static const store::SettingsValues values =
        store::first_start_values("/opt/sigmat/db", "/home/user/Sigmat/scripts");
    return values;
}

store::SettingsValues read(const std::string& text) {
    std::istringstream in(text);
    return store::read_settings(in, first_start());
}

std::string written(const store::SettingsValues& values) {
    std::ostringstream out;
    store::write_settings(out, values);
    return out.str();
}

bool holds_line_break(const std::string& dir) {
    return store::used_directory(dir).find_first_of("\r\n") != std::string::npos;
}

bool same(const store::SettingsValues& a, const store::SettingsValues& b) {
    return a.databaseDir == b.databaseDir && a.workDir == b.workDir &&
           a.gnuplotDir == b.gnuplotDir && a.gnuplotV4 == b.gnuplotV4 && a.dataStyle == b.dataStyle;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(fuzz::as_text(data, size));
    const auto v = read(text);
    check(v.dataStyle == "l " || v.dataStyle == "p " || v.dataStyle == "lp",
          "a data style the plotter knows");
    for (const std::string* dir : {&v.databaseDir, &v.workDir, &v.gnuplotDir})
        check(dir->size() <= 256, "directories are cut at 256 characters");

    // Saving and reading again changes nothing more: the file written is a fixed point. A
    // directory holding a line break cannot be a line of its own: its line is written empty
    // and reads back as its first-start value, which the next save writes.
    const std::string once = written(v);
    const auto again = read(once);
    const std::string twice = written(again);
    const bool broken = holds_line_break(v.databaseDir) || holds_line_break(v.workDir) ||
                        holds_line_break(v.gnuplotDir);
    if (!broken)
        check(once == twice, "a saved file reads back to itself");
    else
        check(written(read(twice)) == twice, "the file of the first-start values is a fixed point");
    check(std::count(once.begin(), once.end(), '\n') == 5, "five lines, whatever the values");
    check(again.gnuplotV4 == v.gnuplotV4 && again.dataStyle == v.dataStyle, "flags survive a save");

    // CRLF line ends read the same as LF ones.
    if (text.find('\r') == std::string::npos)
        check(same(read(fuzz::with_crlf(text)), v), "CRLF: same settings");
    return 0;
}
