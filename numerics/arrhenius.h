// Least-squares Arrhenius fit of rate coefficients over temperature:
//
//     k(T) = A (T / 300 K)^b exp(-Ea / T),
//
// linear in ln A, b and Ea once the logarithm is taken, so the fit minimises the squared
// residuals of ln k (relative deviations, for small ones) over the temperatures with k > 0.
// The 3 x 3 problem is solved by Householder QR on columns scaled to unit length, which keeps
// the digits that the normal equations lose when ln T and 1/T run nearly in parallel over a
// narrow range.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

namespace sigmat::numerics {

struct ArrheniusFit {
    double a = 0.0;      // A, in the unit of k
    double b = 0.0;      // the exponent of T / 300 K
    double ea_k = 0.0;   // Ea in kelvins (Ea / kB for an energy)
    double t_lo_k = 0.0; // the lowest and highest temperature fitted
    double t_hi_k = 0.0;
    std::size_t points = 0;     // temperatures fitted (those with k > 0)
    double max_deviation = 0.0; // largest |k_fit / k - 1| over them
};

// temperatures_k and k of the same size, temperatures positive and finite, k finite; k <= 0
// is left out of the fit. Nothing when a contract is broken, when fewer than 3 points remain,
// or when their temperatures cannot tell the three parameters apart (fewer than 3 distinct
// temperatures, to rounding).
[[nodiscard]] std::optional<ArrheniusFit> fit_arrhenius(std::span<const double> temperatures_k,
                                                        std::span<const double> k);

} // namespace sigmat::numerics
