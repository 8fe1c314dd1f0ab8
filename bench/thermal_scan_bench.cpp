// A temperature scan against one temperature pair, on a database generated at start-up: 9
// vibrational levels of 51 rotational states, 459 DEA files of 10 000 rows each. The scan
// reads the files once and sums 100 (Tv, TJ) pairs; the goal is at most 5 times the time of
// one pair.
//
//   thermal_scan_bench [--keep DIR] [benchmark options]
//
// With --keep the database is written to DIR and left there (scripts/bench runs the numpy
// comparison on it).
#include "bench_support.h"
#include "curves/thermal.h"
#include "store/data_files.h"
#include "store/file_system.h"
#include "store/number_fields.h"
#include "support/test_support.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

namespace {

namespace fs = std::filesystem;
using sigmat::store::format_i;

constexpr int levels = 9;
constexpr int rotations = 51;
constexpr int rows = 10000;

std::string& database() {
    static std::string db;
    return db;
}

// A state file, rows on a 1 meV grid up to 10 eV.
std::string state_text(int v, int j) {
    sigmat::store::DataFileContent c;
    c.state_energy_ev = 0.37 * v + 0.0013 * j * (j + 1);
    c.max_energy_ev = rows * 0.001;
    c.resolution_mev = 1;
    c.comments = {" DEA cross section, generated"};
    const double onset = 0.8 - 0.09 * v - 0.0005 * j;
    for (int k = 1; k <= rows; ++k) {
        const double e = k * 0.001;
        c.energies.push_back(e);
        c.values.push_back(e < onset ? 0.0 : 3e-17 * (e - onset) * std::exp(-4.0 * (e - onset)));
    }
    return sigmat::store::write_data_file(c);
}

void make_database(const fs::path& db) {
    for (int v = 0; v < levels; ++v)
        for (int j = 0; j < rotations; ++j) {
            const fs::path file = db / "HCl" / "da" / ("nu" + format_i(v, 2, 2)) /
                                  ("da" + format_i(v, 2, 2) + "j" + format_i(j, 2, 2) + ".dat");
            fs::create_directories(file.parent_path());
            std::ofstream(file, std::ios::binary) << state_text(v, j);
        }
}

std::vector<sigmat::curves::TemperaturePair> pairs(int n) {
    std::vector<sigmat::curves::TemperaturePair> out;
    for (int a = 0; a < n; ++a)
        for (int b = 0; b < n; ++b)
            out.push_back({300 + 300 * a, 100 + 100 * b});
    return out;
}

void run_pairs(benchmark::State& state, int n) {
    const auto list = pairs(n);
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    for (auto _ : state) {
        auto read = sigmat::curves::thermal_curve(sigmat::store::real_file_system(), database(),
                                                  "HCl", list, std::nullopt, threads);
        if (!read.ok() || read->columns != list.size())
            state.SkipWithError("the scan did not run");
        benchmark::DoNotOptimize(read->sigma.data());
    }
}

void one_pair(benchmark::State& state) {
    run_pairs(state, 1);
}
void scan_100_pairs(benchmark::State& state) {
    run_pairs(state, 10);
}

} // namespace

BENCHMARK(one_pair)->Unit(benchmark::kMillisecond);
BENCHMARK(scan_100_pairs)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    std::unique_ptr<sigmat::test::TempDir> scratch;
    std::string keep;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--keep") == 0) {
            keep = argv[i + 1];
            for (int k = i; k + 2 < argc; ++k)
                argv[k] = argv[k + 2];
            argc -= 2;
            break;
        }
    if (keep.empty()) {
        scratch = std::make_unique<sigmat::test::TempDir>();
        database() = scratch->str();
    } else {
        database() = keep;
    }
    if (!fs::exists(fs::path(database()) / "HCl"))
        make_database(database());
    return sigmat::bench::run(
        argc, argv, {{"scan of 100 pairs / one pair", "scan_100_pairs", "one_pair", "<= 5"}});
}
