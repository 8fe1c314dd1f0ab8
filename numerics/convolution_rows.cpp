#include "numerics/convolution_rows.h"

#include <algorithm>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define SIGMAT_ROWS_SSE2 1
#endif

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define SIGMAT_ROWS_AVX2 1
#endif

namespace sigmat::numerics::detail {
namespace {

// The sums of add_rows over one range of offsets: the even sum, the two correction sums, or
// all three together (they share the loads of u). Two lanes at a time; the three sums
// together take the block in two halves, so that their running sums stay in the registers.
template <bool Even, bool Odd>
void rows_narrow(const RowTerms& a, std::size_t from, std::size_t to, RowSums& r) {
#ifdef SIGMAT_ROWS_SSE2
    constexpr std::size_t vectors = (Even && Odd) ? row_block / 4 : row_block / 2;
    for (std::size_t first = 0; first < row_block; first += 2 * vectors) {
        __m128d e[vectors], o[vectors], od[vectors];
#pragma GCC unroll 4
        for (std::size_t v = 0; v < vectors; ++v) {
            e[v] = _mm_loadu_pd(r.even + first + 2 * v);
            o[v] = _mm_loadu_pd(r.odd + first + 2 * v);
            od[v] = _mm_loadu_pd(r.odd_dev + first + 2 * v);
        }
        for (std::size_t m = from; m < to; ++m) {
            const double* above = a.u + first + m;
            const double* below = a.u + first - m;
            const __m128d tm = _mm_set1_pd(a.t[m]);
            const __m128d sm = _mm_set1_pd(Odd ? a.s[m] : 0.0);
#pragma GCC unroll 4
            for (std::size_t v = 0; v < vectors; ++v) {
                const __m128d p = _mm_loadu_pd(above + 2 * v);
                const __m128d q = _mm_loadu_pd(below + 2 * v);
                if constexpr (Even)
                    e[v] = _mm_add_pd(e[v], _mm_mul_pd(tm, _mm_add_pd(p, q)));
                if constexpr (Odd) {
                    const __m128d pd = _mm_loadu_pd(a.ud + first + m + 2 * v);
                    const __m128d qd = _mm_loadu_pd(a.ud + first - m + 2 * v);
                    o[v] = _mm_add_pd(o[v], _mm_mul_pd(sm, _mm_sub_pd(p, q)));
                    od[v] = _mm_add_pd(od[v], _mm_mul_pd(sm, _mm_sub_pd(pd, qd)));
                }
            }
        }
#pragma GCC unroll 4
        for (std::size_t v = 0; v < vectors; ++v) {
            _mm_storeu_pd(r.even + first + 2 * v, e[v]);
            _mm_storeu_pd(r.odd + first + 2 * v, o[v]);
            _mm_storeu_pd(r.odd_dev + first + 2 * v, od[v]);
        }
    }
#else
    for (std::size_t m = from; m < to; ++m)
        for (std::size_t j = 0; j < row_block; ++j) {
            const double p = (a.u + m)[j], q = (a.u - m)[j];
            if constexpr (Even)
                r.even[j] += a.t[m] * (p + q);
            if constexpr (Odd) {
                r.odd[j] += a.s[m] * (p - q);
                r.odd_dev[j] += a.s[m] * ((a.ud + m)[j] - (a.ud - m)[j]);
            }
        }
#endif
}

#ifdef SIGMAT_ROWS_AVX2

// The same with four lanes and fused multiply-adds. The even sum alone takes two offsets at
// a time into two sets of running sums, added at the end, so that four chains of dependent
// multiply-adds hide their latency.
template <bool Even, bool Odd>
__attribute__((target("avx2,fma"))) void rows_wide(const RowTerms& a, std::size_t from,
                                                   std::size_t to, RowSums& r) {
    static_assert(row_block == 8, "two vectors of four lanes");
    __m256d e0 = _mm256_loadu_pd(r.even), e1 = _mm256_loadu_pd(r.even + 4);
    __m256d o0 = _mm256_loadu_pd(r.odd), o1 = _mm256_loadu_pd(r.odd + 4);
    __m256d d0 = _mm256_loadu_pd(r.odd_dev), d1 = _mm256_loadu_pd(r.odd_dev + 4);
    const double* u = a.u;
    std::size_t m = from;
    if constexpr (Even && !Odd) {
        __m256d f0 = _mm256_setzero_pd(), f1 = _mm256_setzero_pd();
        for (; m + 2 <= to; m += 2) {
            const __m256d t0 = _mm256_broadcast_sd(a.t + m);
            const __m256d t1 = _mm256_broadcast_sd(a.t + m + 1);
            e0 = _mm256_fmadd_pd(t0, _mm256_add_pd(_mm256_loadu_pd(u + m), _mm256_loadu_pd(u - m)),
                                 e0);
            e1 = _mm256_fmadd_pd(
                t0, _mm256_add_pd(_mm256_loadu_pd(u + m + 4), _mm256_loadu_pd(u - m + 4)), e1);
            f0 = _mm256_fmadd_pd(
                t1, _mm256_add_pd(_mm256_loadu_pd(u + m + 1), _mm256_loadu_pd(u - m - 1)), f0);
            f1 = _mm256_fmadd_pd(
                t1, _mm256_add_pd(_mm256_loadu_pd(u + m + 5), _mm256_loadu_pd(u - m + 3)), f1);
        }
        e0 = _mm256_add_pd(e0, f0);
        e1 = _mm256_add_pd(e1, f1);
    }
    for (; m < to; ++m) {
        __m256d p0 = _mm256_loadu_pd(u + m), p1 = _mm256_loadu_pd(u + m + 4);
        __m256d q0 = _mm256_loadu_pd(u - m), q1 = _mm256_loadu_pd(u - m + 4);
        // Each loaded vector goes to a register once: left to itself the compiler loads it
        // again for the difference, and the loads are what limits this loop.
        if constexpr (Even && Odd)
            asm("" : "+x"(p0), "+x"(p1), "+x"(q0), "+x"(q1));
        if constexpr (Even) {
            const __m256d tm = _mm256_broadcast_sd(a.t + m);
            e0 = _mm256_fmadd_pd(tm, _mm256_add_pd(p0, q0), e0);
            e1 = _mm256_fmadd_pd(tm, _mm256_add_pd(p1, q1), e1);
        }
        if constexpr (Odd) {
            const __m256d sm = _mm256_broadcast_sd(a.s + m);
            o0 = _mm256_fmadd_pd(sm, _mm256_sub_pd(p0, q0), o0);
            o1 = _mm256_fmadd_pd(sm, _mm256_sub_pd(p1, q1), o1);
            const double* ud = a.ud;
            d0 = _mm256_fmadd_pd(
                sm, _mm256_sub_pd(_mm256_loadu_pd(ud + m), _mm256_loadu_pd(ud - m)), d0);
            d1 = _mm256_fmadd_pd(
                sm, _mm256_sub_pd(_mm256_loadu_pd(ud + m + 4), _mm256_loadu_pd(ud - m + 4)), d1);
        }
    }
    _mm256_storeu_pd(r.even, e0);
    _mm256_storeu_pd(r.even + 4, e1);
    _mm256_storeu_pd(r.odd, o0);
    _mm256_storeu_pd(r.odd + 4, o1);
    _mm256_storeu_pd(r.odd_dev, d0);
    _mm256_storeu_pd(r.odd_dev + 4, d1);
    _mm256_zeroupper();
}

bool has_wide_rows() {
    return __builtin_cpu_supports("avx2") != 0 && __builtin_cpu_supports("fma") != 0;
}

#else

bool has_wide_rows() {
    return false;
}

#endif

template <bool Even, bool Odd>
void rows(bool wide, const RowTerms& a, std::size_t from, std::size_t to, RowSums& r) {
    if (from >= to)
        return;
#ifdef SIGMAT_ROWS_AVX2
    if (wide) {
        rows_wide<Even, Odd>(a, from, to, r);
        return;
    }
#else
    (void)wide;
#endif
    rows_narrow<Even, Odd>(a, from, to, r);
}

} // namespace

void add_rows(const RowTerms& terms, std::size_t even_from, std::size_t even_to,
              std::size_t odd_from, std::size_t odd_to, RowSums& sums, bool wide_asked) {
    static const bool has_wide = has_wide_rows();
    const bool wide = wide_asked && has_wide;
    even_to = std::max(even_from, even_to);
    odd_to = std::max(odd_from, odd_to);
    // Where both ranges overlap, the three sums go together; the rest of each range alone.
    const std::size_t both_from = std::max(even_from, odd_from);
    const std::size_t both_to = std::min(even_to, odd_to);
    if (both_from >= both_to) {
        rows<true, false>(wide, terms, even_from, even_to, sums);
        rows<false, true>(wide, terms, odd_from, odd_to, sums);
        return;
    }
    rows<true, true>(wide, terms, both_from, both_to, sums);
    rows<true, false>(wide, terms, even_from, both_from, sums);
    rows<true, false>(wide, terms, both_to, even_to, sums);
    rows<false, true>(wide, terms, odd_from, both_from, sums);
    rows<false, true>(wide, terms, both_to, odd_to, sums);
}

bool processor_has_wide_rows() {
    return has_wide_rows();
}

} // namespace sigmat::numerics::detail
