// The View menu's options in the jobs' scripts. Off, every script is byte for byte the golden
// file of tests/data/jobs (paths of the temporary folder written {tmp}); each option on
// changes exactly its own lines: "set logscale x" / "set logscale y" before the plot command,
// the first positive energy for a lower range bound at or below 0 on a log energy axis, and
// for cm^2 or m^2 the y label and the plotted column scaled.
#include "job_fixture.h"

#include <cmath>

namespace sigmat::test {
namespace {

double bump(double e) {
    return e > 1.0 ? 1e-16 * std::exp(-(e - 1.0)) : 0.0;
}
double channel(double e, int c) {
    return e > 0.5 + c ? 1e-17 * (c + 1) : 0.0;
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
                   channel_file(3.0, 10, 4, channel));
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
        return text;
    }
};

struct Press {
    const char* golden; // tests/data/jobs/NAME.plt
    const char* script; // the script's name in the work directory
    std::function<void(ViewScripts&)> press;
    // The first positive energy of the plotted file, when the range starts at or below 0.
    const char* first_energy;
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
         "0.82"},
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
         "0.01"},
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
         "0.82"},
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

} // namespace
} // namespace sigmat::test
