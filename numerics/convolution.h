// Finite electron-energy resolution: a tabulated cross section folded with a normalised
// Gaussian of a given full width at half maximum.
//
// The fold integrates with the trapezoidal rule from the first table energy upwards (the
// cross section counts as zero below it) and, past the last energy, holds the last value for
// 100 more steps, so that the high-energy end is not pulled down by the missing table. Every
// interval uses the width of the table's last interval. The Gaussian is normalised
// analytically and not rescaled on the grid, so a kernel that is narrow compared with the
// step over- or under-counts. Results below 1e-30 (negative ones included) become 0.
#pragma once

#include <cstddef>
#include <span>
#include <utility>

namespace sigmat::numerics {

// What a fold did. A table of one point (or none) has no step width and is left as it is
// (too_short); every other refusal leaves it as it is too and says why.
enum class FoldStatus {
    folded,
    too_short,    // fewer than two points: left unchanged, as a fold of nothing
    sizes_differ, // energies and values of different lengths
    bad_width,    // a width that is not a positive finite number (or too small to tabulate)
    bad_grid,     // a last interval that is not positive
    not_finite,   // a non-finite energy or value
};

// Folds `values` (cross sections on the ascending grid `energies`, both of the same length)
// with a Gaussian of full width at half maximum `fwhm_ev`, in place.
//
// Gives the numbers of `convolve_reference` (within a relative 1e-12 per value, and 0 exactly
// where the reference gives 0). On an evenly spaced grid, such as every grid the data-file
// reader makes, the Gaussian is tabulated once by index offset, with a first-order correction
// for the rounding of the energies, and each output is a sum over the kernel's reach (cut
// where the rest cannot reach 1e-14 of it), eight outputs at a time with the widest vectors the
// processor has; a kernel reaching over thousands of points is summed by blocks of points
// through an exact factorisation of the Gaussian. Other grids take an exact fold that skips
// only the terms where the Gaussian is exactly 0. The working arrays of a table of up to 131072
// points are kept by the calling thread for its next fold.
//
// Left unchanged, with the reason (FoldStatus): an empty table, a table of one point (it has no
// step width), a width that is not a positive finite number, a last interval that is not
// positive, and tables holding a non-finite energy or value.
//
// How the fold is summed (every way within a relative 1e-12 of the plain fold):
enum class FoldMethod {
    automatic, // as wide where the table is ordinary (below), else plain
    plain,     // convolve_reference's sums, for any table
    narrow,    // ordinary tables: the fast fold with 128-bit sums that every x86-64 has
    wide,      // ordinary tables: 256-bit sums with fused multiply-adds where the processor has
               // AVX2 and FMA (elsewhere as narrow)
};
// An ordinary table, which the fast folds take (the others take the plain fold): at least
// this many points, a width, a last step and values in these ranges.
inline constexpr std::size_t fast_fold_least_points = 64;
inline constexpr std::pair<double, double> fast_fold_widths_ev{1e-6, 10.0};
inline constexpr std::pair<double, double> fast_fold_steps_ev{1e-7, 10.0};
inline constexpr double fast_fold_largest_value = 1e100;

[[nodiscard]] FoldStatus convolve_with_resolution(double fwhm_ev, std::span<const double> energies,
                                                  std::span<double> values,
                                                  FoldMethod method = FoldMethod::automatic);

// The plain fold: the Gaussian at every pair of points, a kernel buffer of n + 100 values,
// trapezoids with the last interval's width, 100 tail steps at the last value, sums in table
// order. Kept as the definition that the fast fold must reproduce. Same inputs that are left
// unchanged as above.
FoldStatus convolve_reference(double fwhm_ev, std::span<const double> energies,
                              std::span<double> values);

} // namespace sigmat::numerics
