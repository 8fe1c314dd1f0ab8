#include "numerics/convolution.h"

#include "numerics/convolution_rows.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define SIGMAT_HAVE_SSE2 1
#endif

namespace sigmat::numerics {
namespace {

using detail::row_block;

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

// Whether every number is finite. A double is infinite or NaN when its exponent field is all
// ones; adding one to that field then carries into the sign bit, which no other exponent
// reaches. Integer operations only, without a branch per number.
bool all_finite(std::span<const double> x) {
    constexpr std::uint64_t exponent = 0x7ff0000000000000;
    constexpr std::uint64_t exponent_one = 0x0010000000000000;
    std::uint64_t carried = 0;
    for (double v : x)
        carried |= (std::bit_cast<std::uint64_t>(v) & exponent) + exponent_one;
    return (carried >> 63) == 0;
}

// The largest magnitude and the smallest value among x[0..n), 0 and +inf when n is 0.
struct Extremes {
    double largest_magnitude = 0.0;
    double smallest = 0.0;
};

Extremes extremes(const double* x, std::size_t n) {
    std::size_t i = 0;
    double largest = 0.0;
    double smallest = std::numeric_limits<double>::infinity();
#ifdef SIGMAT_HAVE_SSE2
    // Two running maxima and minima of two lanes, so that the comparisons do not wait on each
    // other.
    const __m128d magnitude = _mm_castsi128_pd(_mm_set1_epi64x(0x7fffffffffffffff));
    __m128d l0 = _mm_setzero_pd(), l1 = _mm_setzero_pd();
    __m128d s0 = _mm_set1_pd(smallest), s1 = s0;
    for (; i + 4 <= n; i += 4) {
        const __m128d a = _mm_loadu_pd(x + i), b = _mm_loadu_pd(x + i + 2);
        l0 = _mm_max_pd(l0, _mm_and_pd(a, magnitude));
        l1 = _mm_max_pd(l1, _mm_and_pd(b, magnitude));
        s0 = _mm_min_pd(s0, a);
        s1 = _mm_min_pd(s1, b);
    }
    double lanes[2];
    _mm_storeu_pd(lanes, _mm_max_pd(l0, l1));
    largest = std::max(lanes[0], lanes[1]);
    _mm_storeu_pd(lanes, _mm_min_pd(s0, s1));
    smallest = std::min(lanes[0], lanes[1]);
#endif
    for (; i < n; ++i) {
        largest = std::max(largest, std::fabs(x[i]));
        smallest = std::min(smallest, x[i]);
    }
    return {largest, smallest};
}

// Whether x[0..n) rises strictly from each number to the next (all of them finite).
bool strictly_ascending(const double* x, std::size_t n) {
    std::size_t i = 1;
#ifdef SIGMAT_HAVE_SSE2
    // Without a branch per point: the comparisons that fail are gathered in one mask.
    __m128d failed = _mm_setzero_pd();
    for (; i + 2 <= n; i += 2)
        failed = _mm_or_pd(failed, _mm_cmple_pd(_mm_loadu_pd(x + i), _mm_loadu_pd(x + i - 1)));
    if (_mm_movemask_pd(failed) != 0)
        return false;
#endif
    for (; i < n; ++i)
        if (!(x[i] > x[i - 1]))
            return false;
    return true;
}

// The kernel of one fold, or nothing when the table is to be left as it is: fewer than two
// points (no step width), mismatched lengths, a width that is not positive, a last interval
// that is not positive, or any non-finite number that would turn the results into NaN.
// The kernel of a fold, or why the table cannot be folded.
struct KernelOrRefusal {
    std::optional<FoldKernel> kernel;
    FoldStatus status = FoldStatus::folded;
};

KernelOrRefusal fold_kernel(double fwhm_ev, std::span<const double> energies,
                            std::span<const double> values) {
    const std::size_t n = energies.size();
    if (values.size() != n)
        return {std::nullopt, FoldStatus::sizes_differ};
    if (n < 2)
        return {std::nullopt, FoldStatus::too_short};
    if (!std::isfinite(fwhm_ev) || !(fwhm_ev > 0.0))
        return {std::nullopt, FoldStatus::bad_width};
    if (!all_finite(energies) || !all_finite(values))
        return {std::nullopt, FoldStatus::not_finite};

    FoldKernel kernel;
    kernel.h = energies[n - 1] - energies[n - 2];
    if (!std::isfinite(kernel.h) || !(kernel.h > 0.0))
        return {std::nullopt, FoldStatus::bad_grid};
    // FWHM = 2 sqrt(2 ln 2) sigma.
    const double sigma = (fwhm_ev * 0.5) / (std::sqrt(ln2) * std::sqrt(2.0));
    kernel.a = 1.0 / (std::sqrt(two_pi) * sigma);
    kernel.c = 0.5 / (sigma * sigma);
    if (!std::isfinite(kernel.a) || !std::isfinite(kernel.c) || !(kernel.a > 0.0))
        return {std::nullopt, FoldStatus::bad_width};
    return {kernel, FoldStatus::folded};
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

#ifdef SIGMAT_HAVE_SSE2
double horizontal(__m128d a, __m128d b) {
    double lanes[2];
    _mm_storeu_pd(lanes, _mm_add_pd(a, b));
    return lanes[0] + lanes[1];
}
#endif

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
// The narrow fold's shortcut: an output may leave out terms that add up to at most this much
// of it, a hundredth of what the fold may differ from the reference. The offsets of the
// partial sum are chosen for a tenth of it, so that the values within reach may vary by a
// factor of a few before an output needs its full reach.
constexpr double shortcut_tolerance = 1e-14;
// Longer extended grids (far beyond any data file) take the windowed fold. Below it, a point's
// index is exact as a 32-bit integer, and so is its product with the upper half of the step.
constexpr std::size_t max_table_points = std::size_t{1} << 26;

// ---- Wide kernels: blocks of points and a separable expansion ----------------------------
//
// A kernel that reaches over thousands of points makes every output a sum over thousands of
// terms. The points are cut into blocks of b; between a target block and a source block, at
// an offset of L blocks, an index distance is d = -L b + s - t with s, t the positions inside
// the blocks counted from their centres (half-integers, |s|, |t| <= (b - 1) / 2). With
// beta = c H^2,
//   exp(-beta d^2) = exp(-beta (L b)^2) exp(-beta (t^2 + 2 L b t)) exp(-beta (s^2 - 2 L b s))
//                    exp(2 beta t s),
// exactly. Only the last factor couples source and target, and its exponent is small (at most
// beta (b - 1)^2 / 2, a few hundredths), so its Taylor series to P terms is exact to 1e-17 of
// each kernel value. A block pair then costs P sums over the source block (moments) and P
// terms per target point instead of b terms per target point. exp(-beta (L b)^2) is the
// tabulated kernel itself, so the large exponent is evaluated as in the table; the other two
// factors stay within e^(+-4). The first-order correction for the energies' rounding carries a
// factor of the distance, (s - t - L b), which becomes one more moment and a shift of the
// polynomial in t. Pairs that straddle the kernel's reach are expanded as well (the terms past
// the reach that they add are negligible and as accurate as the others), unless the kernel
// there comes near the subnormals: those are summed term by term from the table. All sums run
// in a fixed order: block offsets in turn, and inside each the same loops.

constexpr std::size_t max_block_terms = 8; // P; the moment sums need at most P + 1 rows
constexpr double block_truncation = 1e-17; // largest relative error of an expanded kernel value
// Below this the expanded factors could lose precision to subnormals: such pairs are summed
// term by term.
constexpr double block_smallest_kernel = 1e-200;

// Sums over one source block: out[p] = sum over j of w[p b + j] x[j], p < NM. Two lanes, even
// and odd j, added at the end.
template <std::size_t NM>
void block_moments(const double* w, const double* x, std::size_t b, double* out) {
#ifdef SIGMAT_HAVE_SSE2
    __m128d acc[NM];
    for (auto& a : acc)
        a = _mm_setzero_pd();
    for (std::size_t j = 0; j < b; j += 2) {
        const __m128d xv = _mm_loadu_pd(x + j);
        for (std::size_t p = 0; p < NM; ++p)
            acc[p] = _mm_add_pd(acc[p], _mm_mul_pd(_mm_loadu_pd(w + p * b + j), xv));
    }
    for (std::size_t p = 0; p < NM; ++p)
        out[p] = horizontal(acc[p], _mm_setzero_pd());
#else
    for (std::size_t p = 0; p < NM; ++p) {
        double even_lane = 0.0, odd_lane = 0.0;
        for (std::size_t j = 0; j < b; j += 2) {
            even_lane += w[p * b + j] * x[j];
            odd_lane += w[p * b + j + 1] * x[j + 1];
        }
        out[p] = even_lane + odd_lane;
    }
#endif
}

// Adds to one target block: y[j] += sum over q of rows[q b + j] z[q], q < NQ, in order of q.
template <std::size_t NQ>
void block_evaluate(const double* rows, const double* z, std::size_t b, double* y) {
#ifdef SIGMAT_HAVE_SSE2
    __m128d zv[NQ];
    for (std::size_t q = 0; q < NQ; ++q)
        zv[q] = _mm_set1_pd(z[q]);
    for (std::size_t j = 0; j < b; j += 2) {
        __m128d s = _mm_mul_pd(_mm_loadu_pd(rows + j), zv[0]);
        for (std::size_t q = 1; q < NQ; ++q)
            s = _mm_add_pd(s, _mm_mul_pd(_mm_loadu_pd(rows + q * b + j), zv[q]));
        _mm_storeu_pd(y + j, _mm_add_pd(_mm_loadu_pd(y + j), s));
    }
#else
    for (std::size_t j = 0; j < b; ++j) {
        double s = rows[j] * z[0];
        for (std::size_t q = 1; q < NQ; ++q)
            s += rows[q * b + j] * z[q];
        y[j] += s;
    }
#endif
}

using MomentsFn = void (*)(const double*, const double*, std::size_t, double*);
using EvaluateFn = void (*)(const double*, const double*, std::size_t, double*);

template <std::size_t... I>
constexpr std::array<MomentsFn, sizeof...(I)> moment_fns(std::index_sequence<I...>) {
    return {&block_moments<I + 1>...};
}
template <std::size_t... I>
constexpr std::array<EvaluateFn, sizeof...(I)> evaluate_fns(std::index_sequence<I...>) {
    return {&block_evaluate<I + 1>...};
}
// Indexed by the number of rows minus one.
constexpr auto moments_by_rows = moment_fns(std::make_index_sequence<max_block_terms + 1>{});
constexpr auto evaluate_by_rows = evaluate_fns(std::make_index_sequence<max_block_terms + 1>{});

struct BlockPlan {
    std::size_t b = 0;           // points per block, even
    std::size_t terms = 0;       // P, terms of the Taylor series of exp(2 beta t s)
    std::size_t shift_terms = 0; // terms for the first-order correction, at most P - 1
};

// The block size with the least work per term (P / b), or nothing when blocks do not pay: a
// kernel this narrow needs too many terms, or reaches over too few blocks. The correction is
// at most `shift` of a value, so its series can stop earlier by that factor.
std::optional<BlockPlan> block_plan(double beta, std::size_t reach, double shift) {
    std::optional<BlockPlan> best;
    for (std::size_t b : {std::size_t{64}, std::size_t{128}, std::size_t{256}}) {
        if (reach < 4 * b)
            continue;
        const double half = static_cast<double>(b - 1) * 0.5;
        const double x = 2.0 * beta * half * half; // largest |2 beta t s|
        // The series' remainder after P terms is below x^P / P! e^x.
        double remainder = std::exp(x);
        std::size_t p = 0;
        while (p < max_block_terms && remainder > block_truncation) {
            ++p;
            remainder *= x / static_cast<double>(p);
        }
        if (remainder > block_truncation || p < 2)
            continue;
        double shift_remainder = std::exp(x) * shift;
        std::size_t shift_terms = 0;
        while (shift_terms + 1 < p && shift_remainder > block_truncation) {
            ++shift_terms;
            shift_remainder *= x / static_cast<double>(shift_terms);
        }
        shift_terms = std::max<std::size_t>(shift_terms, 1);
        if (shift_remainder > block_truncation)
            continue;
        if (!best || p * best->b < best->terms * b)
            best = BlockPlan{b, p, shift_terms};
    }
    return best;
}

// Arrays of the tabulated fold, kept by each thread from one fold to the next. A fold of a
// long table needs several arrays of its length; taken fresh from the system for every call,
// each costs a page fault per 4 KiB when first written, which on a narrow kernel is more than
// the sums themselves. Arrays of tables above kept_scratch_points are given back after the fold.
struct FoldScratch {
    std::vector<double> dev;       // each point's deviation from the straight line
    std::vector<double> u, ud;     // weighted values (and times the deviations), padded
    std::vector<double> chunk_max; // largest weighted value by chunks of row_block
    std::vector<double> even, odd; // the kernel by offset
    std::vector<double> block_u, block_ud, block_z, block_o; // the fold by blocks
};
constexpr std::size_t kept_scratch_points = std::size_t{1} << 17; // some 7 MB of arrays at most

FoldScratch& fold_scratch() {
    thread_local FoldScratch scratch;
    return scratch;
}

// Sums of the tabulated fold by blocks, per output point (block_z, block_o of `scratch`): the
// even sum minus the corrections of the source deviations (z) and the sum that multiplies the
// output's own deviation (o), as in the term-by-term fold. `up` and `dev` hold the ext points
// of the extended grid.
void fold_blocks(const BlockPlan& plan, const FoldKernel& g, double step, const double* t_even,
                 const double* t_odd, std::size_t reach, const double* up, const double* dev,
                 std::size_t ext, std::size_t n, bool correct_table, bool correct_tail,
                 FoldScratch& scratch) {
    const double beta = g.c * step * step;
    const double kappa = 2.0 * g.c * step;
    // The tabulated kernel at offset a, also past the table's reach (pairs that straddle the
    // reach add some terms beyond it; those are negligible, and computed as accurately).
    const auto kernel_at = [&](std::size_t a) {
        if (a < reach)
            return t_even[a];
        const double ad = static_cast<double>(a);
        const double d = ad * step;
        const double d_low = std::fma(ad, step, -d);
        return g(d) * (1.0 - 2.0 * g.c * d * d_low);
    };
    const std::size_t b = plan.b;
    const std::size_t terms = plan.terms;
    const std::size_t rows = terms;
    const std::size_t shift_rows = plan.shift_terms + 1; // degree of the corrections' polynomial
    const std::size_t source_blocks = (ext + b - 1) / b;
    const std::size_t target_blocks = (n + b - 1) / b;

    std::vector<double>& u = scratch.block_u;
    std::vector<double>& ud = scratch.block_ud;
    u.assign(source_blocks * b, 0.0);
    ud.assign(source_blocks * b, 0.0);
    for (std::size_t i = 0; i < ext; ++i) {
        u[i] = up[i];
        ud[i] = up[i] * dev[i];
    }
    // The tail points (from n on) carry their own correction flag.
    std::vector<char> corrected(source_blocks);
    for (std::size_t block = 0; block < source_blocks; ++block)
        corrected[block] = correct_table || (correct_tail && (block + 1) * b > n);

    std::vector<double>& out_z = scratch.block_z;
    std::vector<double>& out_o = scratch.block_o;
    out_z.assign(target_blocks * b, 0.0);
    out_o.assign(target_blocks * b, 0.0);

    std::vector<double> position(b), factor(rows);
    const double centre = static_cast<double>(b - 1) * 0.5;
    for (std::size_t j = 0; j < b; ++j)
        position[j] = static_cast<double>(j) - centre;
    factor[0] = 1.0; // (2 beta)^q / q!
    for (std::size_t q = 1; q < rows; ++q)
        factor[q] = factor[q - 1] * (2.0 * beta) / static_cast<double>(q);

    std::vector<double> source_rows(rows * b), target_rows(rows * b);
    double m[max_block_terms + 1], f[max_block_terms + 1];
    double z[max_block_terms + 1], o[max_block_terms + 1];
    const auto source_sums = moments_by_rows[rows - 1];
    const auto shift_sums = moments_by_rows[shift_rows - 1];
    const auto target_sums = evaluate_by_rows[rows - 1];
    const auto shift_target_sums = evaluate_by_rows[shift_rows - 1];

    const auto first_offset = -static_cast<std::ptrdiff_t>(source_blocks) + 1;
    const auto last_offset = static_cast<std::ptrdiff_t>(target_blocks) - 1;
    for (std::ptrdiff_t offset = first_offset; offset <= last_offset; ++offset) {
        const std::size_t a = static_cast<std::size_t>(offset < 0 ? -offset : offset) * b;
        if (a >= reach + b - 1) // every distance in these pairs is beyond the kernel's reach
            continue;
        const std::size_t first_target =
            offset > 0 ? static_cast<std::size_t>(offset) : std::size_t{0};
        const std::size_t last_target = std::min(
            target_blocks - 1,
            static_cast<std::size_t>(offset + static_cast<std::ptrdiff_t>(source_blocks) - 1));
        const double kernel = kernel_at(a);
        const bool expand = kernel >= block_smallest_kernel;

        if (!expand) {
            // Term by term from the table, where the expanded factors could lose precision.
            for (std::size_t target = first_target; target <= last_target; ++target) {
                const std::size_t source =
                    static_cast<std::size_t>(static_cast<std::ptrdiff_t>(target) - offset);
                const bool correct = corrected[source] != 0;
                for (std::size_t k = target * b; k < std::min(n, target * b + b); ++k)
                    for (std::size_t i = source * b; i < std::min(ext, source * b + b); ++i) {
                        const std::size_t dist = i > k ? i - k : k - i;
                        if (dist >= reach)
                            continue;
                        out_z[k] += t_even[dist] * u[i];
                        if (correct) {
                            const double s = i > k ? t_odd[dist] : -t_odd[dist];
                            out_z[k] -= s * ud[i];
                            out_o[k] += s * u[i];
                        }
                    }
            }
            continue;
        }

        const double lb = static_cast<double>(offset) * static_cast<double>(b);
        for (std::size_t j = 0; j < b; ++j) {
            const double s = position[j];
            const double e_source = std::exp(-beta * (s * s - 2.0 * lb * s));
            const double e_target = kernel * std::exp(-beta * (s * s + 2.0 * lb * s));
            double power = 1.0;
            for (std::size_t q = 0; q < rows; ++q) {
                source_rows[q * b + j] = e_source * power;
                target_rows[q * b + j] = e_target * factor[q] * power;
                power *= s;
            }
        }
        for (std::size_t target = first_target; target <= last_target; ++target) {
            const std::size_t source =
                static_cast<std::size_t>(static_cast<std::ptrdiff_t>(target) - offset);
            const double* us = u.data() + source * b;
            double* zt = out_z.data() + target * b;
            if (corrected[source] == 0) {
                source_sums(source_rows.data(), us, b, z);
                target_sums(target_rows.data(), z, b, zt);
                continue;
            }
            // With the factor kappa (s - t - L b), taken to the corrections' own number of
            // terms S < P: t times a polynomial in t of degree S - 1 is a polynomial of degree
            // S, its coefficient q taking q / (2 beta) times the coefficient q - 1 (the ratio
            // of the factors of rows q - 1 and q).
            source_sums(source_rows.data(), us, b, m);
            shift_sums(source_rows.data(), ud.data() + source * b, b, f);
            const std::size_t shift_terms = shift_rows - 1;
            for (std::size_t q = 0; q < rows; ++q)
                z[q] = m[q];
            for (std::size_t q = 0; q < shift_rows; ++q) {
                double odd = 0.0, odd_dev = 0.0;
                if (q < shift_terms) {
                    odd = m[q + 1] - lb * m[q];
                    odd_dev = f[q + 1] - lb * f[q];
                }
                if (q > 0) {
                    const double shift = static_cast<double>(q) / (2.0 * beta);
                    odd -= shift * m[q - 1];
                    odd_dev -= shift * f[q - 1];
                }
                z[q] -= kappa * odd_dev;
                o[q] = kappa * odd;
            }
            target_sums(target_rows.data(), z, b, zt);
            shift_target_sums(target_rows.data(), o, b, out_o.data() + target * b);
        }
    }
}

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
// The largest magnitude among a table's values, and whether none is negative.
struct ValueRange {
    double largest = 0.0;
    bool no_negative = true;
};

ValueRange value_range(std::span<const double> values) {
    const Extremes found = extremes(values.data(), values.size());
    return {found.largest_magnitude, !(found.smallest < 0.0)};
}

bool fold_tabulated(const FoldKernel& g, std::span<const double> energies, std::span<double> values,
                    const ValueRange& range, bool wide) {
    const std::size_t n = energies.size();
    const std::size_t last = n - 1;
    const std::size_t ext = n + tail_steps;
    const double h = g.h;
    const double c = g.c;
    if (ext >= max_table_points)
        return false;

    // The extended grid exactly as the reference computes it, ascending.
    const double* e = energies.data();
    const auto tail_point = [&](std::size_t j) { return h * static_cast<double>(j) + e[last]; };
    if (!strictly_ascending(e, n))
        return false;
    for (std::size_t j = 1; j <= tail_steps; ++j)
        if (!(tail_point(j) > (j == 1 ? e[last] : tail_point(j - 1))))
            return false;

    FoldScratch& scratch = fold_scratch();
    // Long tables give their arrays back at the end.
    struct Release {
        FoldScratch& scratch;
        bool large;
        ~Release() {
            if (large)
                scratch = FoldScratch{};
        }
    } release{scratch, ext > kept_scratch_points};

    // The straight line through the table's ends, and each point's deviation from it, computed
    // without rounding error worth mentioning (two_sum and the split product keep the low
    // parts).
    const double step = (energies[last] - energies[0]) / static_cast<double>(last);
    // The rounding error of i * step, exactly: step split into its upper 26 and lower 27
    // significant bits makes both partial products exact for i below 2^26, the difference of
    // the upper one and the rounded product is exact as the two lie within a factor of 2, and
    // the one addition left gives the error itself (it is representable). The same number as
    // std::fma(i, step, -i * step), without a library call for every point.
    const double step_high =
        std::bit_cast<double>(std::bit_cast<std::uint64_t>(step) & ~((std::uint64_t{1} << 27) - 1));
    const double step_low = step - step_high;
    const double x0 = e[0];
    const auto deviation = [x0, step, step_high, step_low](double x, double m) {
        double s = 0.0, t = 0.0;
        two_sum(x, -x0, s, t);
        const double p = m * step;
        const double p_low = (m * step_high - p) + m * step_low;
        return (s - p) + (t - p_low);
    };
    const double y_max = range.largest;
    const double beta = c * step * step;
    const auto tail_terms = [&](double md) {
        const double count = 1.0 / -std::expm1(-beta * (2.0 * md + 1.0));
        return std::min(static_cast<double>(ext), count * (1.0 + 1e-6));
    };
    const double term_scale = 2.0 * y_max * h;
    std::vector<double>& even = scratch.even; // g(m H)
    std::vector<double>& odd = scratch.odd;   // 2 c m H g(m H)
    even.clear();
    odd.clear();
    for (std::size_t m = 0; m < ext; ++m) {
        const double md = static_cast<double>(m);
        const double d = md * step;
        const double d_low = std::fma(md, step, -d); // m H == d + d_low
        const double raw = g(d);
        if (raw == 0.0 || (m > 0 && raw * term_scale * tail_terms(md) < negligible_term))
            break;
        const double value = raw * (1.0 - 2.0 * c * d * d_low);
        even.push_back(value);
        odd.push_back(2.0 * c * d * value);
    }
    const std::size_t reach = even.size(); // offsets 0..reach-1 carry a kernel

    // Point weights of the trapezoids over the table and the tail, with `pad` zeros on either
    // side so that every output has its whole reach in the array: the points outside the
    // extended grid add exact zeros. In the same pass, each point's deviation from the line
    // (in a loop without a branch, the index counted as a 32-bit integer, so that the compiler
    // can take several points at a time).
    const std::size_t pad = reach - 1;
    const std::size_t rounded = (n + row_block - 1) / row_block * row_block;
    const std::size_t padded =
        (std::max(pad + ext, rounded + 2 * pad) + row_block - 1) / row_block * row_block;
    std::vector<double>& dev = scratch.dev;
    std::vector<double>& u = scratch.u;
    std::vector<double>& ud = scratch.ud;
    dev.resize(ext);
    u.resize(padded);
    ud.resize(padded);
    std::fill(u.begin(), u.begin() + static_cast<std::ptrdiff_t>(pad), 0.0);
    std::fill(ud.begin(), ud.begin() + static_cast<std::ptrdiff_t>(pad), 0.0);
    double* const u_at = u.data() + pad;
    double* const ud_at = ud.data() + pad;
    double* const dev_at = dev.data();
    const double* const y = values.data();
    dev_at[0] = deviation(e[0], 0.0);
    u_at[0] = y[0];
    ud_at[0] = u_at[0] * dev_at[0];
    const auto points = static_cast<std::int32_t>(n);
    for (std::int32_t i = 1; i < points; ++i) {
        const double d = deviation(e[i], static_cast<double>(i));
        dev_at[i] = d;
        u_at[i] = 2.0 * y[i];
        ud_at[i] = u_at[i] * d;
    }
    const double dev_table = extremes(dev.data(), n).largest_magnitude; // of a table point
    double dev_all = dev_table; // of any point, the tail included
    for (std::size_t j = 1; j <= tail_steps; ++j) {
        const std::size_t i = last + j;
        const double x = tail_point(j);
        const double d = deviation(x, static_cast<double>(i));
        dev[i] = d;
        dev_all = std::max(dev_all, std::fabs(d));
        u_at[i] = (j == tail_steps ? 1.0 : 2.0) * values[last];
        ud_at[i] = u_at[i] * d;
    }
    std::fill(u.begin() + static_cast<std::ptrdiff_t>(pad + ext), u.end(), 0.0);
    std::fill(ud.begin() + static_cast<std::ptrdiff_t>(pad + ext), ud.end(), 0.0);

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

    const double* t_even = even.data();
    const double* t_odd = odd.data();
    const double half_step = h * 0.5;
    const auto store = [&](std::size_t k, double sum) {
        const double result = sum * half_step;
        values[k] = result < result_floor ? 0.0 : result;
    };
    if (const auto plan = block_plan(beta, reach, shift_of(dev_all))) {
        fold_blocks(*plan, g, step, t_even, t_odd, reach, u.data() + pad, dev.data(), ext, n,
                    correct_table, correct_tail, scratch);
        for (std::size_t k = 0; k < n; ++k)
            store(k, scratch.block_z[k] + dev[k] * scratch.block_o[k]);
        return true;
    }

    // The narrow kernel: outputs by blocks of row_block, each summed over the offsets in
    // turn. The corrections need fewer offsets than the even sum: their terms are at most
    // shift_of(dev_all) of the kernel's.
    const double shift_all = correct_tail ? shift_of(dev_all) : 0.0;
    std::size_t shift_reach = correct_tail ? 1 : 0;
    while (shift_reach > 0 && shift_reach < reach &&
           t_even[shift_reach] * shift_all * term_scale *
                   tail_terms(static_cast<double>(shift_reach)) >=
               negligible_term)
        ++shift_reach;

    // A shorter sum for outputs whose terms far out cannot matter. With no negative value every
    // term is positive, so the sum of the offsets below `near` is a lower bound of the whole;
    // the terms left out are bounded by the largest weighted value within reach times the
    // kernel's tail from `near` on, and the corrections from `near_shift` on by the relative
    // shift times the kernel's tail from there. Where both bounds together stay below 1e-14 of
    // the partial sum for every output of a block, the partial sums are the outputs; elsewhere
    // (a curve rising steeply towards the output, the zeros below a threshold) the sums go on
    // to the full reach. Only blocks whose reach stays inside the table (not on the tail, whose
    // points deviate more) take the shortcut.
    double kernel_total = t_even[0];
    for (std::size_t m = 1; m < reach; ++m)
        kernel_total += 2.0 * t_even[m];
    const double shift_table = correct_table ? shift_of(dev_table) : 0.0;
    std::size_t near = 1;
    while (near < reach && t_even[near] > 0.1 * shortcut_tolerance * kernel_total)
        ++near;
    std::size_t near_shift = correct_table ? 1 : 0;
    while (near_shift > 0 && near_shift < near &&
           shift_table * t_even[near_shift] > 0.1 * shortcut_tolerance * kernel_total)
        ++near_shift;
    const bool shortcut = range.no_negative && near < reach;
    double left_out = 0.0;
    std::vector<double>& chunk_max = scratch.chunk_max;
    const std::size_t window_chunks = (row_block - 1 + 2 * pad) / row_block + 1;
    std::size_t span = 1;
    if (shortcut) {
        left_out =
            2.0 * (t_even[near] * tail_terms(static_cast<double>(near)) * (1.0 + 1e-7) +
                   shift_table * t_even[near_shift] * tail_terms(static_cast<double>(near_shift)));
        static_assert(row_block == 8);
        const std::size_t chunks = padded / row_block;
        chunk_max.resize(chunks);
        for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
            const double* x = u.data() + chunk * row_block;
            chunk_max[chunk] = std::max(std::max(std::max(x[0], x[1]), std::max(x[2], x[3])),
                                        std::max(std::max(x[4], x[5]), std::max(x[6], x[7])));
        }
        // Doubled in place until entry c holds the largest of chunks c .. c + span - 1, with
        // span the largest power of 2 not above the chunks within a block's reach; two entries
        // then cover that reach.
        for (; 2 * span <= window_chunks; span *= 2)
            for (std::size_t chunk = 0; chunk + span < chunks; ++chunk)
                chunk_max[chunk] = std::max(chunk_max[chunk], chunk_max[chunk + span]);
    }

    for (std::size_t k0 = 0; k0 < n; k0 += row_block) {
        const detail::RowTerms terms{t_even, t_odd, u.data() + pad + k0, ud.data() + pad + k0};
        detail::RowSums sums;
        for (std::size_t j = 0; j < row_block; ++j) {
            sums.even[j] = t_even[0] * terms.u[j];
            sums.odd[j] = 0.0;
            sums.odd_dev[j] = 0.0;
        }
        const std::size_t count = std::min(row_block, n - k0);
        const bool on_tail = k0 + row_block - 1 + pad >= n; // the last point within reach
        const bool correct = correct_table || (correct_tail && on_tail);
        // The outputs: the even sum minus the corrections, the output's own deviation times the
        // sum that it multiplies.
        double sum[row_block];
        const double* own_dev = dev.data() + k0;
        const auto combine = [&] {
            for (std::size_t j = 0; j < row_block; ++j)
                sum[j] = sums.even[j] - (sums.odd_dev[j] - own_dev[j] * sums.odd[j]);
        };
        const std::size_t odd_to = correct ? shift_reach : 0;
        if (shortcut && !on_tail) {
            detail::add_rows(terms, 1, near, 1, correct ? near_shift : 0, sums, wide);
            // The largest weighted value within reach of the block: padded points k0 to
            // k0 + row_block - 1 + 2 pad.
            const std::size_t first_chunk = k0 / row_block;
            const double u_max =
                std::max(chunk_max[first_chunk], chunk_max[first_chunk + window_chunks - span]);
            combine();
            // Off the tail, all row_block outputs of the block are table points.
            bool enough = true;
            for (std::size_t j = 0; j < row_block; ++j)
                enough &= u_max * left_out <= shortcut_tolerance * sum[j];
            if (!enough) {
                detail::add_rows(terms, near, reach,
                                 correct ? std::max<std::size_t>(near_shift, 1) : 0, odd_to, sums,
                                 wide);
                combine();
            }
        } else {
            detail::add_rows(terms, 1, reach, 1, odd_to, sums, wide);
            combine();
        }
        if (count == row_block) // a fixed count, stored without a branch per output
            for (std::size_t j = 0; j < row_block; ++j)
                store(k0 + j, sum[j]);
        else
            for (std::size_t j = 0; j < count; ++j)
                store(k0 + j, sum[j]);
    }
    return true;
}

} // namespace

FoldStatus convolve_reference(double fwhm_ev, std::span<const double> energies,
                              std::span<double> values) {
    const KernelOrRefusal g = fold_kernel(fwhm_ev, energies, values);
    if (g.kernel)
        fold_reference(*g.kernel, energies, values);
    return g.status;
}

// The fast paths are built for tables as a database holds them. Short tables, and widths,
// steps or magnitudes far outside anything physical, take the plain fold, which is cheap
// there and cannot lose accuracy to the shortcuts.
static bool ordinary_table(double fwhm_ev, const FoldKernel& g, std::size_t n,
                           const ValueRange& range) {
    return n >= fast_fold_least_points && fwhm_ev >= fast_fold_widths_ev.first &&
           fwhm_ev <= fast_fold_widths_ev.second && g.h >= fast_fold_steps_ev.first &&
           g.h <= fast_fold_steps_ev.second && range.largest <= fast_fold_largest_value;
}

FoldStatus convolve_with_resolution(double fwhm_ev, std::span<const double> energies,
                                    std::span<double> values, FoldMethod method) {
    const KernelOrRefusal kernel = fold_kernel(fwhm_ev, energies, values);
    if (!kernel.kernel)
        return kernel.status;
    const FoldKernel* const g = &*kernel.kernel;
    const ValueRange range = value_range(values);
    if (method == FoldMethod::plain || !ordinary_table(fwhm_ev, *g, values.size(), range)) {
        fold_reference(*g, energies, values);
        return FoldStatus::folded;
    }
    if (!fold_tabulated(*g, energies, values, range, method != FoldMethod::narrow))
        fold_windowed(*g, energies, values);
    return FoldStatus::folded;
}

} // namespace sigmat::numerics
