// Reading and whole jobs against the bare cost of moving their bytes, on data generated into a
// temporary folder at start-up:
//   - a VE file of 10 000 rows and 19 columns: parsing it into a table against reading its
//     bytes, and the whole VE job with a resolution (read, fold 19 columns, write the result)
//     against reading the file's bytes and writing the result's bytes;
//   - a DEA database of 9 levels x 51 rotational states x 4000 rows: the whole
//     temperature-averaged job against reading the bytes of its files.
#include "app/plot_inputs.h"
#include "app/plot_settings.h"
#include "app/resources/main_dialog_description.h"
#include "bench_support.h"
#include "platform/headless/headless_platform.h"
#include "store/data_files.h"
#include "store/internal/es_layout.h"
#include "store/number_fields.h"
#include "support/dialog_setup.h"
#include "support/test_support.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace id = sigmat::app::id;
using sigmat::store::format_es;
using sigmat::store::format_i;

constexpr int ve_rows = 10000;
constexpr int ve_columns = 19;
constexpr int levels = 9;
constexpr int rotations = 51;
constexpr int dea_rows = 4000;

std::string grid_line(double max_energy, int resolution_mev) {
    std::string line = "# Max. energy = ";
    line += format_es(max_energy, 10, 4);
    line += " eV   resolution = ";
    line += format_i(resolution_mev, 3);
    line += '\n';
    return line;
}

void write_text(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// VE rows on a 1 meV grid up to 10 eV; channel c opens at 0.1 c eV.
std::string ve_file() {
    std::string out = "# VE cross sections, generated\n#\n#\n#\n";
    out += grid_line(10.0, 1);
    out += "#\n#\n# Thrshld:";
    for (int c = 0; c < ve_columns; ++c) {
        out += ' ';
        out += format_es(0.1 * c, 10, 4);
    }
    out += "\n#\n";
    for (int k = 1; k <= ve_rows; ++k) {
        const double e = k * 0.001;
        out += format_es(e, 10, 4);
        for (int c = 0; c < ve_columns; ++c) {
            const double onset = 0.1 * c;
            const double v = e < onset ? 0.0 : 1e-16 * (e - onset) * std::exp(-(e - onset));
            out += ' ';
            out += format_es(v, 10, 4);
        }
        out += "\n";
    }
    return out;
}

// A state file: level energy on line 3, grid on line 5, rows from 1 meV to 4 eV.
std::string dea_file(int v, int j) {
    const double level = -4.4 + 0.37 * v + 0.0013 * j * (j + 1);
    std::string out = "# DEA cross section, generated\n#\n# Energy = ";
    out += format_es(level, 11, 4);
    out += "\n#\n";
    out += grid_line(dea_rows * 0.001, 1);
    out += "#\n#\n#\n";
    const double onset = 0.8 - 0.09 * v - 0.0005 * j;
    for (int k = 1; k <= dea_rows; ++k) {
        const double e = k * 0.001;
        const double xs = e < onset ? 0.0 : 3e-17 * (e - onset) * std::exp(-4.0 * (e - onset));
        out += format_es(e, 10, 4);
        out += ' ';
        out += format_es(xs, 10, 4);
        out += '\n';
    }
    return out;
}

struct Data {
    sigmat::test::TempDir dir;
    std::string db, work, ve_path, ve_result;
    std::vector<std::string> dea_paths;
};

Data& data() {
    static Data d;
    return d;
}

void make_data() {
    Data& d = data();
    d.db = (d.dir.path() / "db").string();
    d.work = (d.dir.path() / "work").string();
    fs::create_directories(d.work);
    const fs::path mol = fs::path(d.db) / "HCl";
    d.ve_path = (mol / "VE" / "nu00" / "VE00J00.dat").string();
    write_text(d.ve_path, ve_file());
    for (int v = 0; v < levels; ++v)
        for (int j = 0; j < rotations; ++j) {
            const std::string vv = format_i(v, 2, 2), jj = format_i(j, 2, 2);
            const fs::path path = mol / "da" / (std::string("nu") += vv) /
                                  (((std::string("da") += vv) += 'j') += jj + ".dat");
            write_text(path, dea_file(v, j));
            d.dea_paths.push_back(path.string());
        }
}

// The dialog as after start-up, with HCl, v = 0, J = 0 and the given process.
struct Dialog {
    sigmat::platform::HeadlessPlatform p{sigmat::app::main_dialog_description()};
    sigmat::app::PlotSettings settings;

    Dialog() {
        const Data& d = data();
        settings.databaseDir = d.db;
        settings.workDir = d.work;
        settings.gnuplotDir = (d.dir.path() / "gp").string();
        sigmat::test::fill_dialog(p);
        p.set_text(id::temp_vib, "1000");
    }
    void plot_single() {
        sigmat::app::on_plot_single(p, settings, sigmat::store::real_file_system(),
                                    sigmat::platform::Event::clicked);
    }
    void plot_thermal() {
        sigmat::app::on_plot_thermal(p, settings, sigmat::store::real_file_system(),
                                     sigmat::platform::Event::clicked);
    }
    // Every run must end with the plotter started, or the figures mean nothing.
    bool launched() {
        bool ok = false;
        for (const auto& r : p.records()) {
            if (r.kind == sigmat::platform::HeadlessRecord::Kind::message)
                return false;
            ok = ok || r.kind == sigmat::platform::HeadlessRecord::Kind::launch;
        }
        p.clear_records();
        return ok;
    }
};

void ve_bare_read(benchmark::State& state) {
    std::vector<char> buffer;
    for (auto _ : state)
        benchmark::DoNotOptimize(sigmat::bench::read_bytes(data().ve_path, buffer));
}

// The readers' wide path (four fields at a time, where the processor has AVX2) switched on or
// off for one benchmark, and back after: the "_narrow" runs read field by field.
struct WidePath {
    bool before = sigmat::store::es_fields_wide();
    explicit WidePath(bool on) { sigmat::store::set_es_fields_wide(on && before); }
    ~WidePath() { sigmat::store::set_es_fields_wide(before); }
    WidePath(const WidePath&) = delete;
    WidePath& operator=(const WidePath&) = delete;
};

void ve_parse_with(benchmark::State& state, bool wide_path) {
    const WidePath wide(wide_path);
    for (auto _ : state) {
        auto read = sigmat::store::read_cross_section_table(
            sigmat::store::real_file_system(), data().ve_path, sigmat::store::ProcessKind::ve);
        if (!read.ok() || read->rows != ve_rows || read->columns != ve_columns + 1)
            state.SkipWithError("the VE file was not read");
        benchmark::DoNotOptimize(read->values.data());
    }
}

void ve_bare_read_write(benchmark::State& state) {
    std::vector<char> in, out;
    const std::size_t result_size = sigmat::bench::read_bytes(data().ve_result, out);
    out.resize(result_size);
    const std::string target = data().ve_result + ".bare";
    for (auto _ : state) {
        benchmark::DoNotOptimize(sigmat::bench::read_bytes(data().ve_path, in));
        sigmat::bench::write_bytes(target, out);
    }
}

void ve_job_with(benchmark::State& state, bool wide_path) {
    const WidePath wide(wide_path);
    Dialog dialog;
    dialog.p.set_checked(id::ve, true);
    dialog.settings.useResolution = true;
    for (auto _ : state) {
        dialog.plot_single();
        if (!dialog.launched())
            state.SkipWithError("the VE job did not finish");
    }
}

void thermal_bare_read(benchmark::State& state) {
    std::vector<char> buffer;
    for (auto _ : state)
        for (const std::string& path : data().dea_paths)
            benchmark::DoNotOptimize(sigmat::bench::read_bytes(path, buffer));
}

void thermal_job_with(benchmark::State& state, bool wide_path) {
    const WidePath wide(wide_path);
    Dialog dialog;
    for (auto _ : state) {
        dialog.plot_thermal();
        if (!dialog.launched())
            state.SkipWithError("the thermal job did not finish");
    }
}

// One VE job before the benchmarks, so that the bare write knows the size of the result.
bool find_ve_result() {
    Dialog dialog;
    dialog.p.set_checked(id::ve, true);
    dialog.settings.useResolution = true;
    dialog.plot_single();
    for (const auto& entry : fs::directory_iterator(fs::path(data().work) / "data"))
        if (entry.path().extension() == ".dat")
            data().ve_result = entry.path().string();
    return dialog.launched() && !data().ve_result.empty();
}

} // namespace

BENCHMARK(ve_bare_read)->Unit(benchmark::kMillisecond);
BENCHMARK(ve_bare_read_write)->Unit(benchmark::kMillisecond);
BENCHMARK(thermal_bare_read)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    make_data();
    if (!find_ve_result()) {
        std::fprintf(stderr, "the VE job did not run on the generated data\n");
        return 1;
    }
    // The parse and the jobs as built and, as "_narrow", field by field.
    using Measured = void (*)(benchmark::State&, bool);
    for (const auto& [name, measured] :
         {std::pair<std::string, Measured>{"ve_parse", &ve_parse_with},
          std::pair<std::string, Measured>{"ve_job", &ve_job_with},
          std::pair<std::string, Measured>{"thermal_job", &thermal_job_with}})
        for (const bool wide : {true, false})
            benchmark::RegisterBenchmark((wide ? name : name + "_narrow").c_str(), measured, wide)
                ->Unit(benchmark::kMillisecond);
    const int rc = sigmat::bench::run(
        argc, argv,
        {{"VE file: parse / bare read", "ve_parse", "ve_bare_read", "<= 3"},
         {"  field by field", "ve_parse_narrow", "ve_bare_read", ""},
         {"VE job, FWHM 10 meV: job / bare read+write", "ve_job", "ve_bare_read_write", "<= 3"},
         {"  field by field", "ve_job_narrow", "ve_bare_read_write", ""},
         {"thermal job (9 x 51 files): job / bare read", "thermal_job", "thermal_bare_read",
          "<= 2"},
         {"  field by field", "thermal_job_narrow", "thermal_bare_read", ""}});
    return rc;
}
