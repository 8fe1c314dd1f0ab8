// A temperature scan against one temperature pair, on a database generated at start-up: 9
// vibrational levels of 51 rotational states, 459 DEA files of 10 000 rows each. The scan
// reads the files once and sums 100 (Tv, TJ) pairs; the goal is at most 5 times the time of
// one pair, and so is sigmat-cli thermal writing the table of 100 pairs to a file. The
// writers' throughput is measured on that table (5 MB of text): at least 100 MB/s each.
//
//   thermal_scan_bench [--keep DIR] [benchmark options]
//
// With --keep the database is written to DIR and left there (scripts/bench runs the numpy
// comparison on it).
#include "bench_support.h"
#include "curves/export.h"
#include "curves/lxcat.h"
#include "curves/thermal.h"
#include "store/data_files.h"
#include "store/file_system.h"
#include "store/number_fields.h"
#include "support/test_support.h"
#include "tools/sigmat_cli.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
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

// sigmat-cli thermal as a user runs it, the table written to a file: --tv of one value
// against --tv 100:1090:10 (100 pairs of 10 000 energies, 5 MB of text).
void cli_thermal(benchmark::State& state, const char* tv) {
    const std::string out = database() + "/../scan-out.tsv";
    const std::vector<std::string> args{"sigmat-cli", "--db", database(), "thermal", "HCl", "--tv",
                                        tv,           "--tj", "300",      "-o",      out};
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    for (auto _ : state) {
        std::ostringstream text, messages;
        const int status =
            sigmat::cli::run(static_cast<int>(argv.size()), argv.data(),
                             {sigmat::store::real_file_system(), text, messages,
                              [](const char*) { return std::optional<std::string>(); }, "/"});
        if (status != 0)
            state.SkipWithError("sigmat-cli thermal failed");
    }
    fs::remove(out);
}
void cli_thermal_one_pair(benchmark::State& state) {
    cli_thermal(state, "1000");
}
void cli_thermal_100_pairs(benchmark::State& state) {
    cli_thermal(state, "100:1090:10");
}

// sigmat-cli with `args` on the benchmark's database, its output to standard output (kept in
// memory); false when it fails.
bool cli_run(const std::vector<std::string>& args) {
    std::vector<std::string> all{"sigmat-cli", "--db", database()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<const char*> argv;
    for (const std::string& a : all)
        argv.push_back(a.c_str());
    std::ostringstream text, messages;
    return sigmat::cli::run(static_cast<int>(argv.size()), argv.data(),
                            {sigmat::store::real_file_system(), text, messages,
                             [](const char*) { return std::optional<std::string>(); }, "/"}) == 0;
}

// A rate table of a vibrationally hot gas: 100 Tv x 10 TJ x 100 electron temperatures in one
// `rates` call, against the single-pair `rate` calls it replaces (10 of the 1000 are run; the
// ratio takes them 100 times).
const char* const rate_temperatures = "300:30000:300";
void rates_100x10x100(benchmark::State& state) {
    for (auto _ : state)
        if (!cli_run({"rates", "HCl", "--tv", "100:9901:99", "--tj", "100:1000:100", "--t",
                      rate_temperatures}))
            state.SkipWithError("sigmat-cli rates failed");
}
void single_pair_rate_calls_10(benchmark::State& state) {
    for (auto _ : state)
        for (int tv = 100; tv <= 1000; tv += 100)
            if (!cli_run({"rate", "HCl:thermal:tv=" + std::to_string(tv) + ",tj=300", "--t",
                          rate_temperatures}))
                state.SkipWithError("sigmat-cli rate failed");
}

// The text of the 100-pair scan's table in each format, and one of its columns as an LXCat
// block: bytes per iteration, for the throughput.
const sigmat::curves::Curve& scan_of_100_pairs() {
    static const sigmat::curves::Curve scan = [] {
        std::vector<sigmat::curves::TemperaturePair> list;
        for (int tv = 100; tv <= 1090; tv += 10)
            list.push_back({tv, 300});
        return sigmat::curves::thermal_curve(sigmat::store::real_file_system(), database(), "HCl",
                                             list, std::nullopt, 1)
            .value();
    }();
    return scan;
}
std::size_t tsv_bytes = 0, csv_bytes = 0, json_bytes = 0, lxcat_bytes = 0;

void write_table(benchmark::State& state, const char* format, std::size_t& bytes) {
    const auto table = sigmat::curves::curve_table(scan_of_100_pairs(), "HCl:thermal",
                                                   sigmat::curves::SigmaUnit::a2);
    for (auto _ : state) {
        const std::string text = sigmat::curves::rendered(table, format);
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
}
void table_tsv(benchmark::State& state) {
    write_table(state, "tsv", tsv_bytes);
}
void table_csv(benchmark::State& state) {
    write_table(state, "csv", csv_bytes);
}
void table_json(benchmark::State& state) {
    write_table(state, "json", json_bytes);
}
void table_lxcat(benchmark::State& state) {
    const sigmat::curves::Curve& scan = scan_of_100_pairs();
    sigmat::curves::LxcatBlock block;
    block.process = "HCl(Tv=100K,TJ=300K) -> H + Cl-";
    block.species = "e / HCl";
    block.process_line = "E + " + block.process + ", Attachment";
    block.param = "E = 0 eV";
    block.energy_ev = scan.energy;
    for (std::size_t i = 0; i < scan.points(); ++i)
        block.sigma_m2.push_back(scan.sigma[i] * 1e-20);
    for (auto _ : state) {
        std::ostringstream out;
        if (!sigmat::curves::write_lxcat_block(out, block))
            state.SkipWithError("the block was not written");
        lxcat_bytes = out.str().size();
    }
}

} // namespace

BENCHMARK(one_pair)->Unit(benchmark::kMillisecond);
BENCHMARK(scan_100_pairs)->Unit(benchmark::kMillisecond);
BENCHMARK(cli_thermal_one_pair)->Unit(benchmark::kMillisecond);
BENCHMARK(cli_thermal_100_pairs)->Unit(benchmark::kMillisecond);
BENCHMARK(rates_100x10x100)->Unit(benchmark::kMillisecond);
BENCHMARK(single_pair_rate_calls_10)->Unit(benchmark::kMillisecond);
BENCHMARK(table_tsv)->Unit(benchmark::kMillisecond);
BENCHMARK(table_csv)->Unit(benchmark::kMillisecond);
BENCHMARK(table_json)->Unit(benchmark::kMillisecond);
BENCHMARK(table_lxcat)->Unit(benchmark::kMillisecond);

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
        argc, argv,
        {{"scan of 100 pairs / one pair", "scan_100_pairs", "one_pair", "<= 5"},
         {"sigmat-cli thermal, 100 pairs / one pair", "cli_thermal_100_pairs",
          "cli_thermal_one_pair", "<= 5"},
         {"1000 single-pair rate calls / rates 100x10x100", "single_pair_rate_calls_10",
          "rates_100x10x100", ">= 20", 100.0}},
        {{"table text, tsv (MB/s)", "table_tsv", &tsv_bytes, ">= 100"},
         {"table text, csv (MB/s)", "table_csv", &csv_bytes, ">= 100"},
         {"table text, json (MB/s)", "table_json", &json_bytes, ">= 100"},
         {"LXCat block (MB/s)", "table_lxcat", &lxcat_bytes, ">= 100"}});
}
