#include "numerics/convolution.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <vector>

namespace sigmat::numerics {
namespace {

constexpr double ln2 = 0.6931471805599453;
constexpr double two_pi = 6.283185307179586;
constexpr std::size_t tail_steps = 100; // the last value is held for this many steps
constexpr double result_floor = 1e-30;

// Gaussian of the fold: g(d) = a * exp(-d * d * c), integrated with steps of width h.
struct FoldKernel {
    double h = 0.0;
    double a = 0.0;
    double c = 0.0;
    double operator()(double d) const { return a * std::exp(-d * d * c); }
};

// The kernel of one fold, or nothing when the table is to be left as it is: fewer than two
// points (no step width), mismatched lengths, a width that is not positive, a last interval
// that is not positive, or any non-finite number that would turn the results into NaN.
std::optional<FoldKernel> fold_kernel(double fwhm_ev, std::span<const double> energies,
                                      std::span<const double> values) {
    const std::size_t n = energies.size();
    if (n < 2 || values.size() != n)
        return std::nullopt;
    if (!std::isfinite(fwhm_ev) || !(fwhm_ev > 0.0))
        return std::nullopt;
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isfinite(energies[i]) || !std::isfinite(values[i]))
            return std::nullopt;

    FoldKernel kernel;
    kernel.h = energies[n - 1] - energies[n - 2];
    if (!std::isfinite(kernel.h) || !(kernel.h > 0.0))
        return std::nullopt;
    // FWHM = 2 sqrt(2 ln 2) sigma.
    const double sigma = (fwhm_ev * 0.5) / (std::sqrt(ln2) * std::sqrt(2.0));
    kernel.a = 1.0 / (std::sqrt(two_pi) * sigma);
    kernel.c = 0.5 / (sigma * sigma);
    if (!std::isfinite(kernel.a) || !std::isfinite(kernel.c) || !(kernel.a > 0.0))
        return std::nullopt;
    return kernel;
}

void apply_floor_and_store(const std::vector<double>& result, std::span<double> values) {
    for (std::size_t k = 0; k < values.size(); ++k)
        values[k] = result[k] < result_floor ? 0.0 : result[k];
}

} // namespace

void convolve_reference(double fwhm_ev, std::span<const double> energies,
                        std::span<double> values) {
    const auto g = fold_kernel(fwhm_ev, energies, values);
    if (!g)
        return;
    const std::size_t n = energies.size();
    const double h = g->h;
    const std::size_t last = n - 1;

    // K[0..n-1]: the Gaussian at the table energies; K[n..n+99]: at E[n-1] + j h.
    std::vector<double> kernel(n + tail_steps);
    std::vector<double> result(n, 0.0);
    for (std::size_t k = 0; k < n; ++k) {
        const double x = energies[k];
        for (std::size_t i = 0; i < n; ++i)
            kernel[i] = (*g)(energies[i] - x);
        for (std::size_t j = 1; j <= tail_steps; ++j)
            kernel[last + j] = (*g)((h * static_cast<double>(j) + energies[last]) - x);

        for (std::size_t i = 0; i + 1 < n; ++i)
            result[k] += (values[i] * kernel[i] + values[i + 1] * kernel[i + 1]) * h * 0.5;
        for (std::size_t j = 0; j < tail_steps; ++j)
            result[k] += (kernel[last + j] + kernel[last + j + 1]) * (h * values[last]) * 0.5;
    }
    apply_floor_and_store(result, values);
}

// The same sums as the reference, term for term and in the same order, but only over the
// table points where the Gaussian is not exactly zero. Beyond an exponent of 750 the
// exponential underflows to exactly 0 (it does so from about 745.13), so every trapezoid left
// out would have added an exact zero and the results are the reference's bit for bit. On an
// ascending grid the points with a non-zero kernel form one run around x, and that run only
// moves upwards as x does, so two indices follow it.
void convolve_with_resolution(double fwhm_ev, std::span<const double> energies,
                              std::span<double> values) {
    const auto g = fold_kernel(fwhm_ev, energies, values);
    if (!g)
        return;
    constexpr double zero_exponent = 750.0;
    if (!std::is_sorted(energies.begin(), energies.end()) ||
        g->a * std::exp(-zero_exponent) != 0.0) {
        convolve_reference(fwhm_ev, energies, values);
        return;
    }
    const std::size_t n = energies.size();
    const double h = g->h;
    const double c = g->c;
    const std::size_t last = n - 1;
    const auto beyond_reach = [c](double d) { return d * d * c > zero_exponent; };

    std::vector<double> kernel(n + tail_steps, 0.0);
    std::vector<double> result(n, 0.0);
    std::size_t lo = 0; // first table point with a non-zero kernel
    std::size_t hi = 0; // last one
    for (std::size_t k = 0; k < n; ++k) {
        const double x = energies[k];
        while (beyond_reach(energies[lo] - x))
            ++lo;
        hi = std::max(hi, k);
        while (hi < last && !beyond_reach(energies[hi + 1] - x))
            ++hi;

        for (std::size_t i = lo; i <= hi; ++i)
            kernel[i] = (*g)(energies[i] - x);
        if (lo > 0)
            kernel[lo - 1] = 0.0;
        if (hi < last)
            kernel[hi + 1] = 0.0;

        double sum = 0.0;
        const std::size_t first_interval = lo > 0 ? lo - 1 : 0;
        const std::size_t last_interval = std::min(hi, last - 1);
        for (std::size_t i = first_interval; i <= last_interval; ++i)
            sum += (values[i] * kernel[i] + values[i + 1] * kernel[i + 1]) * h * 0.5;

        // The tail lies above E[n-1]; when the kernel is already zero there, it is zero on
        // the whole tail.
        if (hi == last) {
            for (std::size_t j = 1; j <= tail_steps; ++j)
                kernel[last + j] = (*g)((h * static_cast<double>(j) + energies[last]) - x);
            for (std::size_t j = 0; j < tail_steps; ++j)
                sum += (kernel[last + j] + kernel[last + j + 1]) * (h * values[last]) * 0.5;
        }
        result[k] = sum;
    }
    apply_floor_and_store(result, values);
}

} // namespace sigmat::numerics
