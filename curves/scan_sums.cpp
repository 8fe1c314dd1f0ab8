#include "curves/scan_sums.h"

namespace sigmat::curves::detail {
namespace {

// Pairs and points summed together: the accumulators of one tile live in registers.
constexpr std::size_t tile_pairs = 4;

// One point, every pair: the plain order.
void sum_point(const ScanSums& s, std::size_t i, std::size_t p) {
    double sum = 0.0;
    for (std::size_t k = 0; k < s.states; ++k)
        sum += s.values[k * s.value_stride + i] * s.weights[k * s.pairs + p];
    s.sums[p * s.sum_stride + i] = sum;
}

#if defined(__GNUC__)

// Points [from, to) of pairs [p, p + tile_pairs), `lanes` points to a vector, two vectors of
// points at a time.
template <typename Vector, std::size_t lanes>
__attribute__((always_inline)) inline void sum_tiles(const ScanSums& s, std::size_t from,
                                                     std::size_t to, std::size_t p) {
    constexpr std::size_t step = 2 * lanes;
    std::size_t i = from;
    for (; i + step <= to; i += step) {
        Vector acc[tile_pairs][2] = {};
        for (std::size_t k = 0; k < s.states; ++k) {
            const double* row = s.values + k * s.value_stride + i;
            Vector v0, v1;
            __builtin_memcpy(&v0, row, sizeof v0);
            __builtin_memcpy(&v1, row + lanes, sizeof v1);
            const double* w = s.weights + k * s.pairs + p;
#pragma GCC unroll 8
            for (std::size_t q = 0; q < tile_pairs; ++q) {
                const Vector wq = Vector{} + w[q];
                acc[q][0] = acc[q][0] + v0 * wq;
                acc[q][1] = acc[q][1] + v1 * wq;
            }
        }
#pragma GCC unroll 8
        for (std::size_t q = 0; q < tile_pairs; ++q) {
            double* out = s.sums + (p + q) * s.sum_stride + i;
            __builtin_memcpy(out, &acc[q][0], sizeof acc[q][0]);
            __builtin_memcpy(out + lanes, &acc[q][1], sizeof acc[q][1]);
        }
    }
    for (; i < to; ++i)
        for (std::size_t q = 0; q < tile_pairs; ++q)
            sum_point(s, i, p + q);
}

typedef double Double2 __attribute__((vector_size(16)));

void sums_narrow(const ScanSums& s) {
    const std::size_t from = 0, to = s.points;
    std::size_t p = 0;
    for (; p + tile_pairs <= s.pairs; p += tile_pairs)
        sum_tiles<Double2, 2>(s, from, to, p);
    for (; p < s.pairs; ++p)
        for (std::size_t i = from; i < to; ++i)
            sum_point(s, i, p);
}

#if defined(__x86_64__)
#define SIGMAT_SCAN_AVX2 1
typedef double Double4 __attribute__((vector_size(32)));

__attribute__((target("avx2"))) void sums_wide(const ScanSums& s) {
    const std::size_t from = 0, to = s.points;
    std::size_t p = 0;
    for (; p + tile_pairs <= s.pairs; p += tile_pairs)
        sum_tiles<Double4, 4>(s, from, to, p);
    for (; p < s.pairs; ++p)
        for (std::size_t i = from; i < to; ++i)
            sum_point(s, i, p);
}

bool processor_has_avx2() {
    return __builtin_cpu_supports("avx2") != 0;
}
#endif

#else

void sums_narrow(const ScanSums& s) {
    const std::size_t from = 0, to = s.points;
    for (std::size_t p = 0; p < s.pairs; ++p)
        for (std::size_t i = from; i < to; ++i)
            sum_point(s, i, p);
}

#endif

} // namespace

void scan_sums(const ScanSums& s, bool wide) {
#ifdef SIGMAT_SCAN_AVX2
    static const bool has_avx2 = processor_has_avx2();
    if (wide && has_avx2) {
        sums_wide(s);
        return;
    }
#else
    (void)wide;
#endif
    sums_narrow(s);
}

} // namespace sigmat::curves::detail
