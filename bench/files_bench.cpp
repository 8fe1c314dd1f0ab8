// Reading and whole jobs against the bare cost of moving their bytes, on data generated into a
// temporary folder at start-up:
//   - a VE file of 10 000 rows and 19 columns: parsing it into a table against reading its
//     bytes, and the whole VE job with a resolution (read, fold 19 columns, write the result)
//     against reading the file's bytes and writing the result's bytes;
//   - a DEA database of 9 levels x 51 rotational states x 4000 rows: the whole
//     temperature-averaged job against reading the bytes of its files.
#include "bench_support.h"
#include "jobs/plot_jobs.h"
#include "store/data_files.h"
#include "store/number_fields.h"
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
using sigmat::store::format_i;

constexpr int ve_rows = 10000;
constexpr int ve_columns = 19;
constexpr int levels = 9;
constexpr int rotations = 51;
constexpr int dea_rows = 4000;

void write_text(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// VE rows on a 1 meV grid up to 10 eV; channel c opens at 0.1 c eV.
std::string ve_file() {
    sigmat::store::DataFileContent c;
    c.kind = sigmat::store::ProcessKind::ve;
    c.max_energy_ev = 10.0;
    c.resolution_mev = 1;
    c.comments = {" VE cross sections, generated"};
    for (int ch = 0; ch < ve_columns; ++ch)
        c.thresholds.push_back(0.1 * ch);
    for (int k = 1; k <= ve_rows; ++k) {
        const double e = k * 0.001;
        c.energies.push_back(e);
        for (int ch = 0; ch < ve_columns; ++ch) {
            const double onset = 0.1 * ch;
            c.values.push_back(e < onset ? 0.0 : 1e-16 * (e - onset) * std::exp(-(e - onset)));
        }
    }
    return sigmat::store::write_data_file(c);
}

// A state file, rows from 1 meV to 4 eV.
std::string dea_file(int v, int j) {
    sigmat::store::DataFileContent c;
    c.state_energy_ev = -4.4 + 0.37 * v + 0.0013 * j * (j + 1);
    c.max_energy_ev = dea_rows * 0.001;
    c.resolution_mev = 1;
    c.comments = {" DEA cross section, generated"};
    const double onset = 0.8 - 0.09 * v - 0.0005 * j;
    for (int k = 1; k <= dea_rows; ++k) {
        const double e = k * 0.001;
        c.energies.push_back(e);
        c.values.push_back(e < onset ? 0.0 : 3e-17 * (e - onset) * std::exp(-4.0 * (e - onset)));
    }
    return sigmat::store::write_data_file(c);
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

// What the jobs need from outside, as the dialog gives it but without a dialog: a request
// built here, the real files, and a plotter start that is only counted.
class BenchHost final : public sigmat::jobs::JobHost {
  public:
    void show_error(std::string_view) override { failed_ = true; }
    bool ask_recalculate() override { return true; }
    void set_waiting(bool) override {}
    sigmat::process::PlotterResult start_plotter(const std::string&, const std::string&,
                                                 const std::string&) override {
        launched_ = true;
        return {sigmat::process::PlotterStatus::finished, {}};
    }
    sigmat::store::FileSystem& files() override { return sigmat::store::real_file_system(); }
    // Every run must end with the plotter started, or the figures mean nothing.
    bool launched() {
        const bool ok = launched_ && !failed_;
        launched_ = failed_ = false;
        return ok;
    }

  private:
    bool launched_ = false, failed_ = false;
};

// HCl, v = 0, J = 0 of `kind`, in the generated database; VE with a FWHM of 10 meV (into
// v' = 0), the thermal average at Tv = 1000 K and TJ = 300 K.
sigmat::jobs::PlotRequest request(sigmat::store::ProcessKind kind) {
    const Data& d = data();
    sigmat::jobs::PlotRequest r;
    r.curve.molecule = "HCl";
    r.curve.kind = kind;
    if (kind == sigmat::store::ProcessKind::ve)
        r.curve.fwhm_mev = 10;
    if (kind == sigmat::store::ProcessKind::thermal)
        r.curve.temperatures = {1000, 300};
    r.dirs = {d.db, d.work, (d.dir.path() / "gp").string(), d.work};
    return r;
}

void ve_bare_read(benchmark::State& state) {
    std::vector<char> buffer;
    for (auto _ : state)
        benchmark::DoNotOptimize(sigmat::bench::read_bytes(data().ve_path, buffer));
}

// The readers convert four fields at a time where the processor has AVX2; the "_narrow" runs
// read field by field.
void ve_parse_with(benchmark::State& state, bool wide_path) {
    const auto reading = wide_path ? sigmat::store::FieldReading::four_at_a_time
                                   : sigmat::store::FieldReading::one_by_one;
    for (auto _ : state) {
        auto read = sigmat::store::read_cross_section_table(
            sigmat::store::real_file_system(), data().ve_path, sigmat::store::ProcessKind::ve,
            reading);
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

void ve_job(benchmark::State& state) {
    BenchHost host;
    const sigmat::jobs::PlotRequest r = request(sigmat::store::ProcessKind::ve);
    for (auto _ : state) {
        sigmat::jobs::plot_single(host, r);
        if (!host.launched())
            state.SkipWithError("the VE job did not finish");
    }
}

void thermal_bare_read(benchmark::State& state) {
    std::vector<char> buffer;
    for (auto _ : state)
        for (const std::string& path : data().dea_paths)
            benchmark::DoNotOptimize(sigmat::bench::read_bytes(path, buffer));
}

void thermal_job(benchmark::State& state) {
    BenchHost host;
    const sigmat::jobs::PlotRequest r = request(sigmat::store::ProcessKind::thermal);
    for (auto _ : state) {
        sigmat::jobs::plot_thermal(host, r);
        if (!host.launched())
            state.SkipWithError("the thermal job did not finish");
    }
}

// One VE job before the benchmarks, so that the bare write knows the size of the result.
bool find_ve_result() {
    BenchHost host;
    sigmat::jobs::plot_single(host, request(sigmat::store::ProcessKind::ve));
    for (const auto& entry : fs::directory_iterator(fs::path(data().work) / "data"))
        if (entry.path().extension() == ".dat")
            data().ve_result = entry.path().string();
    return host.launched() && !data().ve_result.empty();
}

} // namespace

BENCHMARK(ve_bare_read)->Unit(benchmark::kMillisecond);
BENCHMARK(ve_bare_read_write)->Unit(benchmark::kMillisecond);
BENCHMARK(thermal_bare_read)->Unit(benchmark::kMillisecond);
BENCHMARK(ve_job)->Unit(benchmark::kMillisecond);
BENCHMARK(thermal_job)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    make_data();
    if (!find_ve_result()) {
        std::fprintf(stderr, "the VE job did not run on the generated data\n");
        return 1;
    }
    // The parse as built and, as "_narrow", field by field.
    for (const bool wide : {true, false})
        benchmark::RegisterBenchmark(wide ? "ve_parse" : "ve_parse_narrow", &ve_parse_with, wide)
            ->Unit(benchmark::kMillisecond);
    const int rc = sigmat::bench::run(
        argc, argv,
        {{"VE file: parse / bare read", "ve_parse", "ve_bare_read", "<= 3"},
         {"  field by field", "ve_parse_narrow", "ve_bare_read", ""},
         {"VE job, FWHM 10 meV: job / bare read+write", "ve_job", "ve_bare_read_write", "<= 3"},
         {"thermal job (9 x 51 files): job / bare read", "thermal_job", "thermal_bare_read",
          "<= 2"}});
    return rc;
}
