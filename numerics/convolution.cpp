#include "numerics/convolution.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define SIGMAT_HAVE_SSE2 1
#endif

namespace sigmat::numerics {
namespace {

constexpr double ln2 = 0.6931471805599453;
constexpr double two_pi = 6.283185307179586;
constexpr std::size_t tail_steps = 100; // the last value is held for this many steps
constexpr double result_floor = 1e-30;
// exp(-x) is exactly 0 in double precision from x = 745.14 on.
constexpr double zero_exponent = 750.0;

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

void fold_reference(const FoldKernel& g, std::span<const double> energies,
                    std::span<double> values) {
    const std::size_t n = energies.size();
    const double h = g.h;
    const std::size_t last = n - 1;

    // K[0..n-1]: the Gaussian at the table energies; K[n..n+99]: at E[n-1] + j h.
    std::vector<double> kernel(n + tail_steps);
    std::vector<double> result(n, 0.0);
    for (std::size_t k = 0; k < n; ++k) {
        const double x = energies[k];
        for (std::size_t i = 0; i < n; ++i)
            kernel[i] = g(energies[i] - x);
        for (std::size_t j = 1; j <= tail_steps; ++j)
            kernel[last + j] = g((h * static_cast<double>(j) + energies[last]) - x);

        for (std::size_t i = 0; i + 1 < n; ++i)
            result[k] += (values[i] * kernel[i] + values[i + 1] * kernel[i + 1]) * h * 0.5;
        for (std::size_t j = 0; j < tail_steps; ++j)
            result[k] += (kernel[last + j] + kernel[last + j + 1]) * (h * values[last]) * 0.5;
    }
    apply_floor_and_store(result, values);
}

// The same sums as the reference, term for term and in the same order, but only over the
// table points where the Gaussian is not exactly zero. Beyond an exponent of 750 the
// exponential underflows to exactly 0, so every trapezoid left out would have added an exact
// zero and the results are the reference's bit for bit. On an ascending grid the points with
// a non-zero kernel form one run around x, and that run only moves upwards as x does, so two
// indices follow it. Used for grids that are not evenly spaced.
void fold_windowed(const FoldKernel& g, std::span<const double> energies,
                   std::span<double> values) {
    if (!std::is_sorted(energies.begin(), energies.end()) ||
        g.a * std::exp(-zero_exponent) != 0.0) {
        fold_reference(g, energies, values);
        return;
    }
    const std::size_t n = energies.size();
    const double h = g.h;
    const double c = g.c;
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
            kernel[i] = g(energies[i] - x);
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
                kernel[last + j] = g((h * static_cast<double>(j) + energies[last]) - x);
            for (std::size_t j = 0; j < tail_steps; ++j)
                sum += (kernel[last + j] + kernel[last + j + 1]) * (h * values[last]) * 0.5;
        }
        result[k] = sum;
    }
    apply_floor_and_store(result, values);
}

// Sums over the kernel offsets m of one output: t[m] times the weighted values at m steps above
// (`up`) and m steps below (`down`, a reversed array, so that both run forwards). Fixed order:
// two running sums of two lanes each, combined at the end.
#ifdef SIGMAT_HAVE_SSE2
double horizontal(__m128d a, __m128d b) {
    double lanes[2];
    _mm_storeu_pd(lanes, _mm_add_pd(a, b));
    return lanes[0] + lanes[1];
}
#endif

// sum of t[m] * (up[m] + down[m])
double even_sum(const double* t, const double* up, const double* down, std::size_t n) {
    std::size_t m = 0;
    double sum = 0.0;
#ifdef SIGMAT_HAVE_SSE2
    __m128d s0 = _mm_setzero_pd(), s1 = _mm_setzero_pd();
    __m128d s2 = _mm_setzero_pd(), s3 = _mm_setzero_pd();
    const auto term = [&](std::size_t j) {
        return _mm_mul_pd(_mm_loadu_pd(t + j),
                          _mm_add_pd(_mm_loadu_pd(up + j), _mm_loadu_pd(down + j)));
    };
    for (; m + 8 <= n; m += 8) {
        s0 = _mm_add_pd(s0, term(m));
        s1 = _mm_add_pd(s1, term(m + 2));
        s2 = _mm_add_pd(s2, term(m + 4));
        s3 = _mm_add_pd(s3, term(m + 6));
    }
    for (; m + 2 <= n; m += 2)
        s0 = _mm_add_pd(s0, term(m));
    sum = horizontal(_mm_add_pd(s0, s2), _mm_add_pd(s1, s3));
#endif
    for (; m < n; ++m)
        sum += t[m] * (up[m] + down[m]);
    return sum;
}

// sum of t[m] * x[m]
double one_sided_sum(const double* t, const double* x, std::size_t n) {
    std::size_t m = 0;
    double sum = 0.0;
#ifdef SIGMAT_HAVE_SSE2
    __m128d s0 = _mm_setzero_pd(), s1 = _mm_setzero_pd();
    __m128d s2 = _mm_setzero_pd(), s3 = _mm_setzero_pd();
    const auto term = [&](std::size_t j) {
        return _mm_mul_pd(_mm_loadu_pd(t + j), _mm_loadu_pd(x + j));
    };
    for (; m + 8 <= n; m += 8) {
        s0 = _mm_add_pd(s0, term(m));
        s1 = _mm_add_pd(s1, term(m + 2));
        s2 = _mm_add_pd(s2, term(m + 4));
        s3 = _mm_add_pd(s3, term(m + 6));
    }
    for (; m + 2 <= n; m += 2)
        s0 = _mm_add_pd(s0, term(m));
    sum = horizontal(_mm_add_pd(s0, s2), _mm_add_pd(s1, s3));
#endif
    for (; m < n; ++m)
        sum += t[m] * x[m];
    return sum;
}

// The three sums of an output with the first-order correction:
//   even += t[m] (up[m] + down[m]),  odd += s[m] (up[m] - down[m]),
//   odd_dev += s[m] (up_dev[m] - down_dev[m]).
struct ThreeSums {
    double even = 0.0, odd = 0.0, odd_dev = 0.0;
};

ThreeSums three_sums(const double* t, const double* s, const double* up, const double* down,
                     const double* up_dev, const double* down_dev, std::size_t n) {
    std::size_t m = 0;
    ThreeSums r;
#ifdef SIGMAT_HAVE_SSE2
    __m128d e = _mm_setzero_pd(), o = _mm_setzero_pd(), od = _mm_setzero_pd();
    for (; m + 2 <= n; m += 2) {
        const __m128d u = _mm_loadu_pd(up + m), d = _mm_loadu_pd(down + m);
        const __m128d ud = _mm_loadu_pd(up_dev + m), dd = _mm_loadu_pd(down_dev + m);
        const __m128d sv = _mm_loadu_pd(s + m);
        e = _mm_add_pd(e, _mm_mul_pd(_mm_loadu_pd(t + m), _mm_add_pd(u, d)));
        o = _mm_add_pd(o, _mm_mul_pd(sv, _mm_sub_pd(u, d)));
        od = _mm_add_pd(od, _mm_mul_pd(sv, _mm_sub_pd(ud, dd)));
    }
    const __m128d zero = _mm_setzero_pd();
    r.even = horizontal(e, zero);
    r.odd = horizontal(o, zero);
    r.odd_dev = horizontal(od, zero);
#endif
    for (; m < n; ++m) {
        r.even += t[m] * (up[m] + down[m]);
        r.odd += s[m] * (up[m] - down[m]);
        r.odd_dev += s[m] * (up_dev[m] - down_dev[m]);
    }
    return r;
}

// The error-free sum: a + b == s + t exactly.
void two_sum(double a, double b, double& s, double& t) {
    s = a + b;
    const double bb = s - a;
    t = (a - (s - bb)) + (b - bb);
}

// Largest first-order change of a kernel value, relative, caused by the energies' deviations
// from the straight line, at which the linear correction below is still exact to double
// precision (its neglected second-order part is then below 1e-15).
constexpr double max_linear_shift = 3e-8;
// Below this relative change per term the correction is left out: it cannot move a sum of
// same-sign terms by more than this.
constexpr double negligible_shift = 2e-13;
// Terms smaller than this (in the unit of the values) are left out. A result is kept only
// from 1e-30 on, so all left-out terms together move a kept result by less than 1e-14 of it.
constexpr double negligible_term = 1e-44;
// Longer tables (far beyond any data file) take the windowed fold.
constexpr std::size_t max_table_points = std::size_t{1} << 27;

// The fold on an evenly spaced grid, with the kernel tabulated once.
//
// The reference evaluates the Gaussian at d = E[i] - E[k] for every pair. On a grid read from
// a file the energies lie on the line X0 + i H only up to rounding: E[i] = X0 + i H + e[i],
// with |e| a few units in the last place. So d = (i - k) H + (e[i] - e[k]), and
//   g(m H + delta) = g(m H) (1 - 2 c m H delta)    (delta^2 and higher orders negligible),
// which gives sums over the tabulated g(m H) and 2 c m H g(m H) instead of one exponential per
// pair. The correction matters: on the reader's grids near 20 eV a narrow kernel tabulated
// without it differs from the reference by up to 7e-12 of a value. Where 2 c m H delta cannot
// reach 2e-13 within the kernel's reach, the correction sums are left out. The sums run in a
// fixed order for each output (not the reference's), so the results do not depend on anything
// but the inputs. The tail points E[n-1] + j h (the reference's own sums, with h the last
// interval) are handled as 100 more grid points holding the last value. The trapezoids become
// point weights: 1 at both ends of the extended grid, 2 inside.
//
// Gives false, having done nothing, when the grid is too far from a straight line for the
// linear correction (a shifted or missing point, a different last interval).
bool fold_tabulated(const FoldKernel& g, std::span<const double> energies,
                    std::span<double> values) {
    const std::size_t n = energies.size();
    const std::size_t last = n - 1;
    const std::size_t ext = n + tail_steps;
    const double h = g.h;
    const double c = g.c;
    if (n > max_table_points)
        return false;

    // The extended grid exactly as the reference computes it.
    std::vector<double> x(ext);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = energies[i];
    for (std::size_t j = 1; j <= tail_steps; ++j)
        x[last + j] = h * static_cast<double>(j) + energies[last];
    for (std::size_t i = 1; i < ext; ++i)
        if (!(x[i] > x[i - 1]))
            return false;

    // The straight line through the table's ends, and each point's deviation from it, computed
    // without rounding error worth mentioning (two_sum and fma keep the low parts).
    const double step = (energies[last] - energies[0]) / static_cast<double>(last);
    std::vector<double> dev(ext);
    double dev_table = 0.0; // largest deviation of a table point
    double dev_all = 0.0;   // of any point, the tail included
    for (std::size_t i = 0; i < ext; ++i) {
        double s = 0.0, t = 0.0;
        two_sum(x[i], -x[0], s, t);
        const double m = static_cast<double>(i);
        const double p = m * step;
        const double p_low = std::fma(m, step, -p);
        dev[i] = (s - p) + (t - p_low);
        dev_all = std::max(dev_all, std::fabs(dev[i]));
        if (i == last)
            dev_table = dev_all;
    }

    // Kernel table up to the offset where a term can no longer matter: where the Gaussian is
    // exactly 0, or where every term from there on is below negligible_term.
    double y_max = 0.0;
    for (double y : values)
        y_max = std::max(y_max, std::fabs(y));
    const double term_scale = 2.0 * y_max * h * static_cast<double>(ext);
    std::vector<double> even, odd; // g(m H) and 2 c m H g(m H)
    even.reserve(ext);
    odd.reserve(ext);
    for (std::size_t m = 0; m < ext; ++m) {
        const double md = static_cast<double>(m);
        const double d = md * step;
        const double d_low = std::fma(md, step, -d); // m H == d + d_low
        const double raw = g(d);
        if (raw == 0.0 || (m > 0 && raw * term_scale < negligible_term))
            break;
        const double value = raw * (1.0 - 2.0 * c * d * d_low);
        even.push_back(value);
        odd.push_back(2.0 * c * d * value);
    }
    const std::size_t reach = even.size(); // offsets 0..reach-1 carry a kernel

    // How far the deviations can move a kernel value within reach: 2 c D delta for the largest
    // offset D and delta up to twice the largest deviation. The tail points E[n-1] + j h drift
    // off the line by j times the rounding of h, so they get their own bound; there are only
    // 100 of them, and correcting them always costs little.
    const double distance = static_cast<double>(reach) * step;
    const auto shift_of = [&](double dev_max) {
        const double delta = 2.0 * dev_max;
        return 2.0 * c * distance * delta + c * delta * delta;
    };
    if (!(shift_of(dev_all) <= max_linear_shift))
        return false;
    const bool correct_table = shift_of(dev_table) > negligible_shift;
    const bool correct_tail = shift_of(dev_all) > negligible_shift;

    // Point weights of the trapezoids over the table and the tail, forwards and reversed.
    std::vector<double> up(ext), down(ext), up_dev(ext), down_dev(ext);
    for (std::size_t i = 0; i < ext; ++i) {
        const double y = i < n ? values[i] : values[last];
        const double w = (i == 0 || i == ext - 1) ? 1.0 : 2.0;
        up[i] = w * y;
        down[ext - 1 - i] = up[i];
        up_dev[i] = up[i] * dev[i];
        down_dev[ext - 1 - i] = up_dev[i];
    }

    const double* t_even = even.data();
    const double* t_odd = odd.data();
    const double half_step = h * 0.5;
    std::vector<double> result(n);
    for (std::size_t k = 0; k < n; ++k) {
        // Table offsets 1..both have points on either side; beyond that only one side.
        const std::size_t above = std::min(last - k, reach - 1);
        const std::size_t below = std::min(k, reach - 1);
        const std::size_t both = std::min(above, below);
        const std::size_t up_at = k + 1;     // up[k + m] for m = 1..
        const std::size_t down_at = ext - k; // down[ext - 1 - (k - m)] for m = 1..
        ThreeSums s;
        s.even = t_even[0] * up[k];
        // One side from offset `from` on, `count` offsets; `sign` -1 below x.
        const auto one_side = [&](std::size_t from, std::size_t count, const double* w,
                                  const double* w_dev, double sign, bool correct) {
            s.even += one_sided_sum(t_even + from, w, count);
            if (correct) {
                s.odd += sign * one_sided_sum(t_odd + from, w, count);
                s.odd_dev += sign * one_sided_sum(t_odd + from, w_dev, count);
            }
        };
        if (correct_table) {
            const ThreeSums pair =
                three_sums(t_even + 1, t_odd + 1, up.data() + up_at, down.data() + down_at,
                           up_dev.data() + up_at, down_dev.data() + down_at, both);
            s.even += pair.even;
            s.odd += pair.odd;
            s.odd_dev += pair.odd_dev;
        } else {
            s.even += even_sum(t_even + 1, up.data() + up_at, down.data() + down_at, both);
        }
        if (above > both)
            one_side(1 + both, above - both, up.data() + up_at + both, up_dev.data() + up_at + both,
                     1.0, correct_table);
        else if (below > both)
            one_side(1 + both, below - both, down.data() + down_at + both,
                     down_dev.data() + down_at + both, -1.0, correct_table);
        // The tail: offsets n - k .. ext - 1 - k, as far as the kernel reaches.
        const std::size_t tail_from = n - k;
        if (tail_from < reach) {
            const std::size_t count = std::min(ext - 1 - k, reach - 1) - tail_from + 1;
            one_side(tail_from, count, up.data() + n, up_dev.data() + n, 1.0, correct_tail);
        }
        result[k] = (s.even - (s.odd_dev - dev[k] * s.odd)) * half_step;
    }
    apply_floor_and_store(result, values);
    return true;
}

} // namespace

void convolve_reference(double fwhm_ev, std::span<const double> energies,
                        std::span<double> values) {
    if (const auto g = fold_kernel(fwhm_ev, energies, values))
        fold_reference(*g, energies, values);
}

void convolve_with_resolution(double fwhm_ev, std::span<const double> energies,
                              std::span<double> values) {
    const auto g = fold_kernel(fwhm_ev, energies, values);
    if (!g)
        return;
    if (!fold_tabulated(*g, energies, values))
        fold_windowed(*g, energies, values);
}

} // namespace sigmat::numerics
