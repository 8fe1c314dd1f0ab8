// The settings file Sigmat.ini: any text gives usable settings, and what Save setup writes
// from them reads back to the same settings.
#include "app/settings_file.h"
#include "fuzz_support.h"

#include <cstdint>
#include <sstream>
#include <string>

using namespace sigmat;
using sigmat::fuzz::check;

namespace {

const app::SettingsValues& first_start() {
    static const app::SettingsValues values =
        app::first_start_values("/opt/sigmat/db", "/home/user/Sigmat/scripts");
    return values;
}

app::SettingsValues read(const std::string& text) {
    std::istringstream in(text);
    return app::read_settings(in, first_start());
}

std::string written(const app::SettingsValues& values) {
    std::ostringstream out;
    app::write_settings(out, values);
    return out.str();
}

bool ends_in_cr(const std::string& dir) {
    const std::string used = app::used_directory(dir);
    return !used.empty() && used.back() == '\r';
}

bool same(const app::SettingsValues& a, const app::SettingsValues& b) {
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

    // Saving and reading again changes nothing more: the file written is a fixed point.
    // Open finding (tests/data/fuzz-regressions/settings_file/directory_ending_in_cr): a
    // directory whose last character is a carriage return is written as a CRLF line end
    // and reads back without it; such values are left out of this check until that is fixed.
    const std::string once = written(v);
    const auto again = read(once);
    const std::string twice = written(again);
    if (!ends_in_cr(v.databaseDir) && !ends_in_cr(v.workDir) && !ends_in_cr(v.gnuplotDir))
        check(once == twice, "a saved file reads back to itself");
    check(again.gnuplotV4 == v.gnuplotV4 && again.dataStyle == v.dataStyle, "flags survive a save");

    // CRLF line ends read the same as LF ones.
    if (text.find('\r') == std::string::npos)
        check(same(read(fuzz::with_crlf(text)), v), "CRLF: same settings");
    return 0;
}
