// The fold with the resolution: the plain reference (a Gaussian per pair of points) against
// the fast fold, on grids as the data-file reader makes them (1 meV steps counted down from the
// top, so n = 20000 reaches 20 eV), for a narrow and the widest FWHM. The fast fold runs as
// built (256-bit sums with fused multiply-adds where the processor has them) and `_generic`,
// with the 128-bit sums that every x86-64 processor has.
#include "bench_support.h"
#include "numerics/convolution.h"
#include "numerics/convolution_rows.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

using sigmat::numerics::convolve_reference;
using sigmat::numerics::convolve_with_resolution;
using sigmat::numerics::FoldMethod;

// Row k = 1..n of a 1 meV grid whose top is n meV: E_max - step (n - k), as the reader does.
std::vector<double> reader_grid(int n) {
    const double step = 0.001;
    const double top = n * step;
    std::vector<double> energies(static_cast<std::size_t>(n));
    for (int k = 1; k <= n; ++k)
        energies[static_cast<std::size_t>(k - 1)] = top - step * (n - k);
    return energies;
}

// A DEA-like cross section: zero below a threshold, a peak, a long decay.
std::vector<double> dea_curve(const std::vector<double>& energies) {
    std::vector<double> values;
    for (double e : energies)
        values.push_back(e < 0.35 ? 0.0 : 2e-16 * (e - 0.35) * std::exp(-3.0 * (e - 0.35)));
    return values;
}

std::string name(const char* fold, int n, int fwhm_mev) {
    return std::string(fold) + "/n=" + std::to_string(n) + "/fwhm=" + std::to_string(fwhm_mev);
}

} // namespace

int main(int argc, char** argv) {
    std::vector<sigmat::bench::Ratio> ratios;
    for (int n : {5000, 10000, 20000})
        for (int fwhm : {10, 999}) {
            const auto energies = reader_grid(n);
            const auto values = dea_curve(energies);
            const double w = fwhm * 0.001;
            auto* reference = benchmark::RegisterBenchmark(
                name("reference", n, fwhm).c_str(), [=](benchmark::State& state) {
                    for (auto _ : state) {
                        auto y = values;
                        benchmark::DoNotOptimize(convolve_reference(w, energies, y));
                        benchmark::DoNotOptimize(y.data());
                    }
                });
            // The reference grows with n^2: a few fixed iterations are enough.
            reference->Unit(benchmark::kMillisecond)->Iterations(n <= 5000 ? 3 : 1);
            for (const bool wide : {true, false})
                benchmark::RegisterBenchmark(
                    name(wide ? "fast" : "fast_generic", n, fwhm).c_str(),
                    [=](benchmark::State& state) {
                        for (auto _ : state) {
                            auto y = values;
                            benchmark::DoNotOptimize(convolve_with_resolution(
                                w, energies, y, wide ? FoldMethod::wide : FoldMethod::narrow));
                            benchmark::DoNotOptimize(y.data());
                        }
                    })
                    ->Unit(benchmark::kMillisecond);
            ratios.push_back({"reference / fast, n = " + std::to_string(n) +
                                  ", FWHM = " + std::to_string(fwhm) + " meV",
                              name("reference", n, fwhm), name("fast", n, fwhm),
                              n == 5000 ? (fwhm == 10 ? ">= 1000" : ">= 40")
                                        : (fwhm == 10 ? "" : "grows with n")});
            ratios.push_back({"128-bit / as built, n = " + std::to_string(n) +
                                  ", FWHM = " + std::to_string(fwhm) + " meV",
                              name("fast_generic", n, fwhm), name("fast", n, fwhm), ""});
        }
    return sigmat::bench::run(argc, argv, ratios);
}
