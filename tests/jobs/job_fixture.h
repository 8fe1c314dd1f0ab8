// A small database and a headless dialog set up as after start-up, for the job tests.
#pragma once

#include "app/plot_inputs.h"
#include "app/plot_settings.h"
#include "app/resources/main_dialog_description.h"
#include "platform/headless/headless_platform.h"
#include "store/data_files.h"
#include "store/number_fields.h"
#include "store/paths.h"
#include "support/dialog_setup.h"
#include "support/faulty_files.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace sigmat::test {

namespace id = app::id;
inline constexpr char sep = store::path_separator;
inline const std::string eol(store::line_end);

// One data row: the energy, then one blank and ES10.4 for each value.
inline std::string row(double energy, const std::vector<double>& values) {
    std::string out = store::format_es(energy, 10, 4);
    for (double v : values)
        out += " " + store::format_es(v, 10, 4);
    return out + "\n";
}

inline std::string grid_line(double max_energy, int resolution_mev) {
    return "# Max. energy = " + store::format_es(max_energy, 10, 4) +
           " eV   resolution = " + store::format_i(resolution_mev, 3) + "\n";
}

// A DEA file (store::write_data_file): the state energy, the grid, one row for each grid point
// from `first` up to `max_energy` with value `xs(E)`.
inline std::string dea_file(double state_energy, double max_energy, int resolution_mev,
                            double first, const std::function<double(double)>& xs) {
    store::DataFileContent c;
    c.kind = store::ProcessKind::dea;
    c.max_energy_ev = max_energy;
    c.resolution_mev = resolution_mev;
    c.state_energy_ev = state_energy;
    c.comments = {" DEA cross section, test data"};
    const double step = resolution_mev * 0.001;
    for (int k = 0;; ++k) {
        const double e = first + k * step;
        if (e > max_energy + 1e-9)
            break;
        c.energies.push_back(e);
        c.values.push_back(xs(e));
    }
    return store::write_data_file(c);
}

// A VE or state-resolved AED file: channel c opens at 0.1 c eV (its threshold), rows on the
// grid from one step up.
inline std::string channel_file(double max_energy, int resolution_mev, int channels,
                                const std::function<double(double, int)>& xs) {
    store::DataFileContent c;
    c.kind = store::ProcessKind::ve;
    c.max_energy_ev = max_energy;
    c.resolution_mev = resolution_mev;
    c.comments = {" channel cross sections, test data"};
    for (int k = 0; k < channels; ++k)
        c.thresholds.push_back(0.1 * k);
    const double step = resolution_mev * 0.001;
    for (int k = 1; k * step <= max_energy + 1e-9; ++k) {
        c.energies.push_back(k * step);
        for (int ch = 0; ch < channels; ++ch)
            c.values.push_back(xs(k * step, ch));
    }
    return store::write_data_file(c);
}

// A total AED file, rows on the grid from one step up.
inline std::string total_file(double max_energy, int resolution_mev,
                              const std::function<double(double)>& xs) {
    store::DataFileContent c;
    c.kind = store::ProcessKind::aed_total;
    c.max_energy_ev = max_energy;
    c.resolution_mev = resolution_mev;
    c.comments = {" total AED, test data"};
    const double step = resolution_mev * 0.001;
    for (int k = 1; k * step <= max_energy + 1e-9; ++k) {
        c.energies.push_back(k * step);
        c.values.push_back(xs(k * step));
    }
    return store::write_data_file(c);
}

class JobTest : public ::testing::Test {
  public:
    void SetUp() override {
        db = tmp.str() + sep + "db";
        work = tmp.str() + sep + "work";
        std::filesystem::create_directories(db);
        std::filesystem::create_directories(work);
        settings.databaseDir = db;
        settings.workDir = work;
        settings.gnuplotDir = tmp.str() + sep + "gp";
        fill_dialog(p);
        p.set_text(id::rot_initial, "3");
    }

    void select_process(int radio) { p.set_checked(radio, true); }
    void plot_single() { app::on_plot_single(p, settings, files, platform::Event::clicked); }
    void plot_thermal() { app::on_plot_thermal(p, settings, files, platform::Event::clicked); }

    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const auto& r : p.records())
            if (r.kind == platform::HeadlessRecord::Kind::message)
                out.push_back(r.text);
        return out;
    }
    std::vector<platform::HeadlessRecord> launches() const {
        std::vector<platform::HeadlessRecord> out;
        for (const auto& r : p.records())
            if (r.kind == platform::HeadlessRecord::Kind::launch)
                out.push_back(r);
        return out;
    }
    int asks() const {
        int n = 0;
        for (const auto& r : p.records())
            n += r.kind == platform::HeadlessRecord::Kind::ask;
        return n;
    }
    std::string work_file(const std::string& name) const { return read_file(work + sep + name); }
    bool work_has(const std::string& name) const {
        return std::filesystem::exists(work + sep + name);
    }
    // Lines of a text, without their line ends; each must end with the platform's own.
    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> out;
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t nl = text.find('\n', start);
            out.push_back(text.substr(start, nl - start));
            if (nl == std::string::npos)
                break;
            if (store::line_end == "\r\n") {
                EXPECT_TRUE(!out.back().empty() && out.back().back() == '\r') << out.back();
                if (!out.back().empty() && out.back().back() == '\r')
                    out.back().pop_back();
            }
            start = nl + 1;
        }
        return out;
    }

    TempDir tmp;
    CwdGuard cwd;
    platform::HeadlessPlatform p{app::main_dialog_description()};
    FaultyFiles files;
    app::PlotSettings settings;
    std::string db, work;
};

} // namespace sigmat::test
