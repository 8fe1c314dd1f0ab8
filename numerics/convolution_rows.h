// Inner sums of the narrow fold, shared by numerics/convolution.cpp and its tests: a block of
// consecutive outputs summed together over the kernel's offsets, with 128-bit vectors that
// every x86-64 processor has, or with 256-bit vectors and fused multiply-adds where the
// processor has them (chosen at run time, the rest of the core being built without either).
#pragma once

#include <cstddef>

namespace sigmat::numerics::detail {

// Outputs summed together by one call.
inline constexpr std::size_t row_block = 8;

// The running sums of one block of outputs (set by the caller before the first add_rows).
struct RowSums {
    double even[row_block];
    double odd[row_block];
    double odd_dev[row_block];
};

// The kernel by offset and the weighted values, positioned at the block's first output: its
// output j is at u[j], and u (and ud) must be readable from u - (largest offset) to
// u + row_block - 1 + (largest offset).
struct RowTerms {
    const double* t = nullptr;  // t[m]: the kernel at offset m
    const double* s = nullptr;  // s[m]: its first-order change per unit of shift
    const double* u = nullptr;  // weighted values
    const double* ud = nullptr; // weighted values times their point's deviation
};

// For the block's outputs j = 0 .. row_block - 1:
//   even[j]    += sum over m in [even_from, even_to) of t[m] (u[j + m] + u[j - m])
//   odd[j]     += sum over m in [odd_from, odd_to)   of s[m] (u[j + m] - u[j - m])
//   odd_dev[j] += sum over m in [odd_from, odd_to)   of s[m] (ud[j + m] - ud[j - m])
// Each sum runs in a fixed order for given ranges and a given choice of vectors.
// With `wide`, 256-bit vectors and fused multiply-adds where the processor has AVX2 and FMA
// (128-bit sums where it lacks them).
void add_rows(const RowTerms& terms, std::size_t even_from, std::size_t even_to,
              std::size_t odd_from, std::size_t odd_to, RowSums& sums, bool wide);

// Whether this processor has the 256-bit sums.
bool processor_has_wide_rows();

} // namespace sigmat::numerics::detail
