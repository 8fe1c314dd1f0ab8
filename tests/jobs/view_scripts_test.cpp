// The View menu's options in the jobs' scripts. Off, every script is byte for byte the golden
// file of tests/data/jobs (paths of the temporary folder written {tmp}); each option on
// changes exactly its own lines: "set logscale x" / "set logscale y" before the plot command,
// the first positive energy for a lower range bound at or below 0 on a log energy axis, and
// for cm^2 or m^2 the y label and the plotted column scaled.
#include "job_fixture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace sigmat::test {
namespace {

double bump(double e) {
    return e > 1.0 ? 1e-16 * std::exp(-(e - 1.0)) : 0.0;
}
double channel(double e, int c) {
    return e > 0.5 + 0.25 * c ? 1e-17 * (c + 1) : 0.0;
}

std::string level_path(const std::string& db, const std::string& kind, int v, int j) {
    const std::string vv = store::format_i(v, 2, 2), jj = store::format_i(j, 2, 2);
    return db + sep + "HCl" + sep + kind + sep + "nu" + vv + sep + kind + vv + "J" + jj + ".dat";
}

class ViewScripts : public JobTest {
  public:
    void SetUp() override {
        JobTest::SetUp();
        write_file(level_path(db, "DA", 0, 3), dea_file(0.0, 5.0, 10, 0.82, bump));
        write_file(level_path(db, "DA", 0, 0), dea_file(0.0, 5.0, 10, 0.82, bump));
        write_file(level_path(db, "DA", 0, 1), dea_file(0.0026, 5.0, 10, 0.82, bump));
        write_file(level_path(db, "VE", 1, 0), channel_file(5.0, 10, 4, channel));
        write_file(db + sep + "HCl" + sep + "AD" + sep + "adJ05.dat",
                   channel_file(5.0, 10, 4, channel));
        write_file(db + sep + "HCl" + sep + "AD" + sep + "adTot.dat", total_file(3.0, 10, bump));
    }

    // The script of one press, with the temporary folder's path written {tmp}.
    std::string script_of(const std::function<void(ViewScripts&)>& press, const std::string& name) {
        std::filesystem::remove_all(work);
        std::filesystem::create_directories(work);
        p.clear_records();
        settings.useEnergyRange = settings.useResolution = false;
        fill_dialog(p);
        p.set_text(id::rot_initial, "3");
        press(*this);
        EXPECT_TRUE(messages().empty()) << name << ": " << messages()[0];
        std::string text = work_file(name);
        const std::string root = tmp.str();
        for (std::size_t at = text.find(root); at != std::string::npos;
             at = text.find(root, at + 5))
            text.replace(at, root.size(), "{tmp}");
#ifdef _WIN32
        // The golden files are the Linux scripts: line ends and folder separators differ.
        std::erase(text, '\r');
        for (std::size_t at = text.find("{tmp}"); at != std::string::npos;
             at = text.find("{tmp}", at + 1))
            for (std::size_t c = at; c < text.size() && text[c] != '\''; ++c)
                if (text[c] == '\\')
                    text[c] = '/';
        // and so does the screen terminal a thermal script returns to
        if (const std::size_t at = text.find("set terminal win\n"); at != std::string::npos)
            text.replace(at, 16, "set terminal pop");
#endif
        return text;
    }
};

struct Press {
    const char* golden; // tests/data/jobs/NAME.plt
    const char* script; // the script's name in the work directory
    std::function<void(ViewScripts&)> press;
    // The range of the plot command on a log energy axis, when the lower bound is at or below
    // 0 (it starts at the first positive energy of the plotted file).
    const char* log_range;
};

void range(ViewScripts& t, const char* from, const char* to) {
    t.settings.useEnergyRange = true;
    t.p.set_text(id::energy_min, from);
    t.p.set_text(id::energy_max, to);
}
void fwhm(ViewScripts& t, const char* mev) {
    t.settings.useResolution = true;
    t.p.set_text(id::fwhm, mev);
}

const std::vector<Press>& presses() {
    static const std::vector<Press> all = {
        {"dea", "HCl_DA00J03.plt",
         [](ViewScripts& t) {
             t.select_process(id::dea);
             t.plot_single();
         },
         nullptr},
        {"dea_range_fwhm", "HCl_DA00J03FWHM050.plt",
         [](ViewScripts& t) {
             t.select_process(id::dea);
             range(t, "0", "3");
             fwhm(t, "50");
             t.plot_single();
         },
         "[0.01:3.00]"},
        {"ve_range_fwhm", "HCl_VE01-02J00FWHM050.plt",
         [](ViewScripts& t) {
             t.select_process(id::ve);
             t.p.set_text(id::vib_initial, "1");
             t.p.set_text(id::rot_initial, "0");
             t.p.set_text(id::vib_final, "2");
             range(t, "0.5", "3");
             fwhm(t, "50");
             t.plot_single();
         },
         nullptr},
        {"aed_range", "HCl_AD02J05.plt",
         [](ViewScripts& t) {
             t.select_process(id::aed);
             t.p.set_text(id::vib_final, "2");
             t.p.set_text(id::rot_initial, "5");
             range(t, "-1", "2");
             t.plot_single();
         },
         "[0.01:2.00]"},
        {"aed_total_fwhm", "HCl_ADTotalFWHM050.plt",
         [](ViewScripts& t) {
             t.select_process(id::aed_total);
             fwhm(t, "50");
             t.plot_single();
         },
         nullptr},
        {"thermal_range", "HCl_Tv0300TJ0300K.plt",
         [](ViewScripts& t) {
             range(t, "0", "5");
             t.plot_thermal();
         },
         "[1.01:5.00]"},
    };
    return all;
}

std::string golden(const std::string& name) {
    return read_file(test_data("jobs/" + name + ".plt"));
}

TEST_F(ViewScripts, WithTheViewOptionsOffEveryScriptIsItsGoldenFile) {
    for (const Press& c : presses()) {
        SCOPED_TRACE(c.golden);
        const std::string script = script_of(c.press, c.script);
        // SIGMAT_WRITE_GOLDEN=1 writes the golden files anew (only when a change of the
        // scripts is meant).
        if (std::getenv("SIGMAT_WRITE_GOLDEN") != nullptr)
            write_file(std::string(SIGMAT_TEST_DATA) + "/jobs/" + c.golden + ".plt", script);
        EXPECT_EQ(script, golden(c.golden));
    }
}

std::vector<std::string> split_lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t nl = text.find('\n', start);
        out.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    return out;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines)
        out += line + "\n";
    return out;
}

// The golden script with exactly the lines that a view changes.
std::string with_view(const std::string& golden_text, const store::View& view,
                      const char* log_range) {
    std::vector<std::string> lines = split_lines(golden_text);
    auto plot = std::find_if(lines.begin(), lines.end(),
                             [](const std::string& l) { return l.rfind("plot ", 0) == 0; });
    if (view.unit != curves::SigmaUnit::a2) {
        const std::string unit = view.unit == curves::SigmaUnit::cm2 ? "cm^2" : "m^2";
        const std::string factor = view.unit == curves::SigmaUnit::cm2 ? "1e-16" : "1e-20";
        for (std::string& line : lines)
            if (line == "set ylabel 'Cross section [A^2]'")
                line = "set ylabel 'Cross section [" + unit + "]'";
        const std::size_t u = plot->find("u 1:") + 4, t = plot->find(" t '");
        std::string column = plot->substr(u, t - u);
        column.erase(0, column.find_first_not_of(' '));
        plot->replace(u, t - u, "($" + column + "*" + factor + ")");
    }
    if (view.log_energy && log_range != nullptr) {
        const std::size_t close = plot->find(']');
        plot->replace(5, close + 1 - 5, log_range);
    }
    std::vector<std::string> added;
    if (view.log_energy)
        added.push_back("set logscale x");
    if (view.log_sigma)
        added.push_back("set logscale y");
    lines.insert(plot, added.begin(), added.end());
    return joined(lines);
}

TEST_F(ViewScripts, EachViewOptionChangesExactlyItsOwnLines) {
    using curves::SigmaUnit;
    const std::pair<const char*, store::View> views[] = {
        {"log energy", {true, false, SigmaUnit::a2}},
        {"log cross section", {false, true, SigmaUnit::a2}},
        {"cm2", {false, false, SigmaUnit::cm2}},
        {"m2", {false, false, SigmaUnit::m2}},
        {"all at once", {true, true, SigmaUnit::m2}},
    };
    for (const auto& [what, view] : views)
        for (const Press& c : presses()) {
            SCOPED_TRACE(std::string(what) + ", " + c.golden);
            settings.view = view;
            const std::string script = script_of(c.press, c.script);
            EXPECT_EQ(script, with_view(golden(c.golden), view, c.log_range));
        }
}

// gnuplot reads every variant: all options on, each script runs on the dumb terminal.
TEST_F(ViewScripts, GnuplotReadsTheScriptsWithEveryOptionOn) {
#ifdef _WIN32
    GTEST_SKIP() << "needs gnuplot itself, which the Windows tests do not have";
#endif
    if (std::system("gnuplot -e 'exit' >/dev/null 2>&1") != 0)
        GTEST_FAIL() << "gnuplot is needed for this test";
    settings.view = {true, true, curves::SigmaUnit::cm2};
    for (const Press& c : presses()) {
        SCOPED_TRACE(c.golden);
        script_of(c.press, c.script);
        const std::string command = "cd '" + work + "' && GNUTERM=dumb gnuplot '" + c.script +
                                    "' </dev/null >/dev/null 2>'" + work + "/err.txt'";
        EXPECT_EQ(std::system(command.c_str()), 0) << read_file(work + "/err.txt");
    }
}

} // namespace
} // namespace sigmat::test
