#include "curves/measured.h"
#include "curves/state_curves.h"

#include "curves/text_cells.h"
#include "numerics/convolution.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace sigmat::curves {
store::Result<MeasuredCurve> read_measured_curve(std::istream& in, std::string_view file_name) {
    MeasuredCurve curve;
    auto fail = [&](std::int32_t line, const std::string& reason) {
        return store::data_error(file_name, line, reason);
    };
    detail::LineReader lines(in);
    std::string text;
    while (lines.next(text)) {
        std::string_view line = text;
        line = line.substr(0, line.find('#'));
        if (detail::trim(line).empty())
            continue;
        const auto cells = detail::cells_of(line);
        if (cells.size() < 2)
            return fail(lines.number(), "a row needs two columns, energy (eV) and cross section");
        double values[2];
        for (std::size_t i = 0; i < 2; ++i) {
            if (cells[i].empty())
                return fail(lines.number(), "empty cell in column " + std::to_string(i + 1));
            const auto v = detail::parse_real(cells[i]);
            if (!v)
                return fail(lines.number(), "not a number: " + detail::quoted(cells[i]) +
                                                " (comment lines start with #)");
            if (!std::isfinite(*v))
                return fail(lines.number(), "not a finite number: " + detail::quoted(cells[i]));
            values[i] = *v;
        }
        if (!curve.energy_ev.empty() && !(values[0] > curve.energy_ev.back()))
            return fail(lines.number(), "the energy does not rise above the row before");
        curve.energy_ev.push_back(values[0]);
        curve.sigma.push_back(values[1]);
    }
    if (lines.broken())
        return store::io_error(
            file_name, std::string(file_name) + ": the file could not be read to its end", 0);
    if (curve.energy_ev.empty())
        return fail(0, "no data row (two columns: energy in eV and cross section)");
    return curve;
}

bool evenly_spaced(const std::vector<double>& energy_ev) {
    if (energy_ev.size() < 3)
        return true;
    double smallest = HUGE_VAL, largest = 0.0;
    for (std::size_t i = 1; i < energy_ev.size(); ++i) {
        const double step = energy_ev[i] - energy_ev[i - 1];
        smallest = std::min(smallest, step);
        largest = std::max(largest, step);
    }
    return largest - smallest <= 1e-6 * smallest;
}

store::Result<PreparedMeasurement> prepare_measurement(const MeasuredCurve& measured,
                                                       std::optional<std::int32_t> fwhm_mev) {
    PreparedMeasurement out;
    const std::vector<double>& e = measured.energy_ev;
    MeasuredCurve curve;
    if (evenly_spaced(e)) {
        curve = measured;
    } else {
        double step = HUGE_VAL;
        for (std::size_t i = 1; i < e.size(); ++i)
            step = std::min(step, e[i] - e[i - 1]);
        const double span = (e.back() - e.front()) / step;
        if (!(span < static_cast<double>(resampled_points_limit))) {
            return store::data_error({}, 0,
                                     "an even grid at the smallest step of the file (" +
                                         std::to_string(step) + " eV) would hold more than " +
                                         std::to_string(resampled_points_limit) + " points");
        }
        // The last grid point may lie a rounding below the last energy.
        const auto points = static_cast<std::size_t>(std::floor(span * (1.0 + 1e-12))) + 1;
        curve.energy_ev.reserve(points);
        curve.sigma.reserve(points);
        std::size_t right = 1;
        for (std::size_t k = 0; k < points; ++k) {
            const double x = std::min(e.front() + static_cast<double>(k) * step, e.back());
            while (right + 1 < e.size() && e[right] < x)
                ++right;
            const double x0 = e[right - 1], x1 = e[right];
            const double y0 = measured.sigma[right - 1], y1 = measured.sigma[right];
            const double t = std::clamp((x - x0) / (x1 - x0), 0.0, 1.0);
            curve.energy_ev.push_back(x);
            curve.sigma.push_back(y0 + t * (y1 - y0));
        }
        out.resampled = true;
    }
    if (fwhm_mev)
        if (store::Status folded = fold_values(curve.energy_ev, curve.sigma, *fwhm_mev, {});
            !folded)
            return std::move(folded).error();
    out.curve = std::move(curve);
    return out;
}

} // namespace sigmat::curves
