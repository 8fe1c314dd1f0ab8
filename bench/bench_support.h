// Shared by the benchmark programs: a console reporter that keeps every run's time, so that a
// program can print the ratios of its goals after one run, and a temporary folder for the
// generated data.
#pragma once

#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace sigmat::bench {

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override;
    // Real time per iteration of a benchmark, in seconds (the median over the repetitions where
    // there are several); 0 when it did not run.
    double seconds(const std::string& name) const;

  private:
    std::map<std::string, double> seconds_, medians_;
};

// One line per pair: "slow / fast = ratio" (or "fast / bare" for the costs against a bare
// read), with the goal beside it.
struct Ratio {
    std::string label;
    std::string numerator, denominator;
    std::string goal; // e.g. ">= 1000" or "<= 3"
    // The numerator's time is taken this many times: a benchmark that runs a part of the work
    // (10 of 1000 calls) stands for the whole.
    double numerator_times = 1.0;
};
void print_ratios(const RatioReporter& reporter, const std::vector<Ratio>& ratios);

// A rate of text: `bytes` made per iteration of the benchmark `name`, printed in MB/s.
struct Throughput {
    std::string label;
    std::string name;
    const std::size_t* bytes; // read after the run: the benchmark sets it
    std::string goal;         // e.g. ">= 100 MB/s"
};

// Runs the registered benchmarks with the command-line options, then prints the ratios and
// the throughputs.
int run(int argc, char** argv, const std::vector<Ratio>& ratios,
        const std::vector<Throughput>& throughputs = {});

// Bare costs: the bytes of a file read into `buffer` by blocks, and written out again.
std::size_t read_bytes(const std::string& path, std::vector<char>& buffer);
void write_bytes(const std::string& path, const std::vector<char>& bytes);

} // namespace sigmat::bench
