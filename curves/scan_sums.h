// The weighted sums of a temperature scan: for every grid point i and every pair p,
//
//     sums[p][i] = (((0 + v[0][i] w[0][p]) + v[1][i] w[1][p]) + ...) + v[K-1][i] w[K-1][p],
//
// the states' contributions added one after the other in the order of the states, each
// product rounded on its own, exactly as the run of one pair adds them. The work is blocked
// over points and pairs so that the running sums stay in the processor's registers while the
// states pass; 256-bit vectors are used where asked and the processor has AVX2 (the numbers
// are the same either way, as no step is fused or reordered).
#pragma once

#include <cstddef>

namespace sigmat::curves::detail {

// One block of points: the states' values at them, and where their sums go.
struct ScanSums {
    const double* values = nullptr;  // state k's values at values + k * value_stride
    const double* weights = nullptr; // state k's weights (one per pair) at weights + k * pairs
    std::size_t states = 0, points = 0, pairs = 0;
    std::size_t value_stride = 0;
    double* sums = nullptr; // pair p's sums at sums + p * sum_stride
    std::size_t sum_stride = 0;
};

// The sums of the block's points [0, points) of every pair, with 256-bit vectors when `wide`
// and the processor has AVX2 (the same numbers either way).
void scan_sums(const ScanSums& s, bool wide);

} // namespace sigmat::curves::detail
