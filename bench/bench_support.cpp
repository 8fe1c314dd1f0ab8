#include "bench_support.h"

#include <cstdio>

namespace sigmat::bench {

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs)
        if (!run.error_occurred && run.iterations > 0) {
            // Known by the name it was registered with, without "/iterations:N" or
            // "/repeats:N".
            std::string name = run.run_name.str();
            for (const char* suffix : {"/iterations:", "/repeats:"})
                if (const auto at = name.find(suffix); at != std::string::npos)
                    name.erase(at);
            const double per_iteration =
                run.real_accumulated_time / static_cast<double>(run.iterations);
            // With repetitions, the median of the repetitions stands for the benchmark.
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median")
                    medians_[name] = per_iteration;
            } else {
                seconds_[name] = per_iteration;
            }
        }
    ConsoleReporter::ReportRuns(runs);
}

double RatioReporter::seconds(const std::string& name) const {
    if (auto median = medians_.find(name); median != medians_.end())
        return median->second;
    auto it = seconds_.find(name);
    return it == seconds_.end() ? 0.0 : it->second;
}

void print_ratios(const RatioReporter& reporter, const std::vector<Ratio>& ratios) {
    std::printf("\n%-44s %12s   %s\n", "ratio", "measured", "goal");
    for (const Ratio& r : ratios) {
        const double num = reporter.seconds(r.numerator) * r.numerator_times;
        const double den = reporter.seconds(r.denominator);
        if (num <= 0.0 || den <= 0.0)
            continue; // filtered out of this run
        std::printf("%-44s %12.2f   %s\n", r.label.c_str(), num / den, r.goal.c_str());
    }
}

int run(int argc, char** argv, const std::vector<Ratio>& ratios,
        const std::vector<Throughput>& throughputs) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    print_ratios(reporter, ratios);
    for (const Throughput& t : throughputs) {
        const double seconds = reporter.seconds(t.name);
        if (seconds > 0.0 && *t.bytes > 0)
            std::printf("%-44s %12.0f   %s\n", t.label.c_str(),
                        static_cast<double>(*t.bytes) / seconds / 1e6, t.goal.c_str());
    }
    return 0;
}

std::size_t read_bytes(const std::string& path, std::vector<char>& buffer) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return 0;
    std::size_t total = 0;
    for (;;) {
        if (buffer.size() < total + (1u << 16))
            buffer.resize(total + (1u << 16));
        const std::size_t got = std::fread(buffer.data() + total, 1, 1u << 16, f);
        total += got;
        if (got == 0)
            break;
    }
    std::fclose(f);
    return total;
}

void write_bytes(const std::string& path, const std::vector<char>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

} // namespace sigmat::bench
