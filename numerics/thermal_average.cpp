#include "numerics/thermal_average.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace sigmat::numerics {
namespace {

constexpr double mev_to_ev = 0.001;
// More points than any database table could need; beyond it the header is taken as garbage.
constexpr double max_grid_points = 10'000'000.0;

// exp(-delta / kT), with kT <= 0 read as the zero-temperature limit.
double boltzmann_factor(double delta, double kT) {
    if (kT > 0.0)
        return std::exp(-delta / kT);
    return delta == 0.0 ? 1.0 : 0.0;
}

} // namespace

CommonEnergyGrid build_grid(double e1, double emax, std::int32_t resolution_mev, double e2) {
    double step = static_cast<double>(resolution_mev) * mev_to_ev;
    if (step <= 0.0)
        step = e2 - e1;
    if (!std::isfinite(step) || !(step > 0.0))
        return {};
    const double inv = 1.0 / step;

    // The highest point E1 + n step not above Emax. When it falls short of Emax the count
    // below (from 0 to that point) is one short, hence the adjustment.
    const double steps_to_max = (emax - e1) * inv;
    if (!std::isfinite(steps_to_max) || std::abs(steps_to_max) > max_grid_points)
        return {};
    const double n = std::trunc(steps_to_max);
    const double end = n * step + e1;
    double top = emax;
    double adjust = 0.0;
    if (end != emax) {
        top = end;
        adjust = 1.0;
    }
    const double steps_to_top = top * inv;
    if (!std::isfinite(steps_to_top) || steps_to_top > max_grid_points)
        return {};
    const double count = std::trunc(steps_to_top) + adjust;
    if (count < 1.0)
        return {};

    CommonEnergyGrid grid;
    grid.step = step;
    grid.top = top;
    grid.count = static_cast<std::int32_t>(count);
    grid.energies.resize(static_cast<std::size_t>(grid.count));
    for (std::int32_t i = 0; i < grid.count; ++i)
        grid.energies[static_cast<std::size_t>(i)] =
            top - step * static_cast<double>(grid.count - 1 - i);
    return grid;
}

double state_weight(std::int32_t j, double evj, double ev0, double e00, double kTv, double kTJ) {
    const double rotational = boltzmann_factor(evj - ev0, kTJ);
    const double vibrational = boltzmann_factor(ev0 - e00, kTv);
    // A zero factor empties the state, however large the other one is (never inf x 0 = NaN).
    if (rotational == 0.0 || vibrational == 0.0)
        return 0.0;
    return (2.0 * static_cast<double>(j) + 1.0) * rotational * vibrational;
}

void finish_sums(std::span<double> sums, double weight_total) {
    if (weight_total == 0.0) {
        std::fill(sums.begin(), sums.end(), 0.0);
        return;
    }
    // Divided rather than multiplied by the reciprocal: a weight total below 1/DBL_MAX (a
    // subnormal one) has an infinite reciprocal.
    for (double& sum : sums) {
        sum = sum / weight_total;
        if (sum < average_floor)
            sum = 0.0;
    }
}

} // namespace sigmat::numerics
