// The resolution fold on arbitrary grids and widths: the fast fold must give the numbers of
// the plain one, tables it must leave alone stay as they are, and finite tables of sensible
// size never turn into NaN or infinity.
//
// Input (little-endian raw values):
//   byte 0        bit 0: uniform grid; bit 1: sort the energies of a free grid; bit 2:
//                 uniform grids of up to 2000 points (else up to 200); bit 3: the narrow fold
//                 with 128-bit sums instead of the processor's widest
//   double        FWHM in eV
//   uniform grid: double E0, double step, uint16 n (at most 2000), then values (reused
//                 cyclically when the input has fewer than n; 0 when it has none)
//   free grid:    pairs (energy, value) to the end of the input
#include "fuzz_support.h"
#include "numerics/convolution.h"
#include "numerics/convolution_rows.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace sigmat;
using sigmat::fuzz::check;

namespace {

constexpr std::size_t max_points = 2000;

bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// `scale` is the fold of the table's magnitudes at the point: the two folds sum the same
// terms in different orders, so where positive and negative values cancel, they differ by
// rounding of the terms, not of the result.
bool agree(double fast, double reference, double scale, bool non_negative) {
    if (same_bits(fast, reference) || (std::isnan(fast) && std::isnan(reference)))
        return true;
    if (reference == 0.0 && non_negative)
        return fast == 0.0; // 0 exactly where the reference gives 0
    return std::abs(fast - reference) <= 1e-12 * std::max(std::abs(reference), scale);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::ByteReader in(data, size);
    const auto flags = in.take<std::uint8_t>();
    const double fwhm = in.take<double>();

    std::vector<double> energies, values;
    if (flags & 1) {
        const double e0 = in.take<double>();
        const double step = in.take<double>();
        // Mostly short tables, so that the quadratic plain fold keeps the runs quick.
        const std::size_t n = in.take<std::uint16_t>() % ((flags & 4) ? max_points + 1 : 201);
        std::vector<double> given;
        while (in.remaining() >= sizeof(double))
            given.push_back(in.take<double>());
        for (std::size_t i = 0; i < n; ++i) {
            energies.push_back(e0 + step * static_cast<double>(i));
            values.push_back(given.empty() ? 0.0 : given[i % given.size()]);
        }
    } else {
        while (in.remaining() >= 2 * sizeof(double) && energies.size() < max_points) {
            energies.push_back(in.take<double>());
            values.push_back(in.take<double>());
        }
        if (flags & 2)
            std::sort(energies.begin(), energies.end(), [](double a, double b) {
                // NaN last, so that the order is a strict weak one.
                return !std::isnan(a) && (std::isnan(b) || a < b);
            });
    }

    auto fast = values;
    auto reference = values;
    const numerics::FoldStatus fast_status = numerics::convolve_with_resolution(
        fwhm, energies, fast,
        flags & 8 ? numerics::FoldMethod::narrow : numerics::FoldMethod::wide);
    const numerics::FoldStatus reference_status =
        numerics::convolve_reference(fwhm, energies, reference);
    check(fast_status == reference_status, "both folds refuse the same tables");

    // The two folds agree wherever no intermediate product comes near overflow. Beyond that
    // (values near 1e166 on steps of 1e166, or values of 1e186 and above under a kernel of
    // height 1e61, far from any cross section) they overflow in different places, and one
    // gives NaN, inf or 0 where the other does not: see tests/data/fuzz-regressions/convolution.
    const std::size_t n = energies.size();
    double largest = 0.0;
    for (double v : values)
        largest = std::max(largest, std::abs(v));
    const double h_last = n >= 2 ? std::abs(energies[n - 1] - energies[n - 2]) : 0.0;
    const double sigma = fwhm / 2.3548200450309493;
    const double reach = largest * std::max(h_last, 1.0) / (2.5066282746310002 * sigma) *
                         static_cast<double>(n + 101) * std::max(h_last, 1.0);
    const bool non_negative =
        std::all_of(values.begin(), values.end(), [](double v) { return v >= 0.0; });
    if (largest <= 1e100 && std::isfinite(reach) && reach < 1e250) {
        std::vector<double> scale(values.size());
        if (!non_negative) {
            std::transform(values.begin(), values.end(), scale.begin(),
                           [](double v) { return std::abs(v); });
            numerics::convolve_reference(fwhm, energies, scale);
        }
        for (std::size_t i = 0; i < values.size(); ++i) {
            const bool same = agree(fast[i], reference[i], scale[i], non_negative);
            if (!same)
                std::fprintf(stderr, "n %zu, point %zu: fast %.17g, plain %.17g\n", n, i, fast[i],
                             reference[i]);
            check(same, "fast fold agrees with the plain fold");
        }
    }

    const bool finite =
        std::isfinite(fwhm) &&
        std::all_of(energies.begin(), energies.end(), [](double e) { return std::isfinite(e); }) &&
        std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
    const bool left_alone =
        n < 2 || !finite || !(fwhm > 0.0) || !(energies[n - 1] - energies[n - 2] > 0.0);
    if (left_alone) {
        for (std::size_t i = 0; i < n; ++i)
            check(same_bits(fast[i], values[i]) && same_bits(reference[i], values[i]),
                  "a table that cannot be folded is unchanged");
        return 0;
    }

    // Sensible sizes: energies and widths of at most a megaelectronvolt, down to a
    // micro-electronvolt of width and step, and cross sections of at most 1e100. There the fold
    // of a table that is finite must stay finite, and a table without negative values gives
    // none.
    const double h = energies[n - 1] - energies[n - 2];
    const bool sensible =
        fwhm >= 1e-6 && fwhm <= 1e6 && h >= 1e-6 &&
        std::all_of(energies.begin(), energies.end(),
                    [](double e) { return std::abs(e) <= 1e6; }) &&
        std::all_of(values.begin(), values.end(), [](double v) { return std::abs(v) <= 1e100; });
    if (sensible) {
        for (double v : fast) {
            check(std::isfinite(v), "the fold of a finite table is finite");
            if (non_negative)
                check(v >= 0.0, "the fold of a table without negative values has none");
        }
    }
    return 0;
}
