#include "curves/rate_request.h"

#include "curves/selector.h"
#include "curves/thermal.h"
#include "numerics/rate_integral.h"
#include "store/number_fields.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace sigmat::curves {
namespace {

// Up to six significant digits, as people read them in a message ("3000", "1.5", "0.0123").
std::string short_number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6g", value);
    return buffer;
}

bool is_aed(const std::optional<CurveSelector>& selector) {
    return selector &&
           (selector->kind == ProcessKind::aed || selector->kind == ProcessKind::aed_total);
}

// "T=3000 K", "mean energy 1.5 eV", "column 2": what a warning is about.
std::string label(RateAbscissa abscissa, double value) {
    switch (abscissa) {
    case RateAbscissa::mean_energy:
        return "mean energy " + short_number(value) + " eV";
    case RateAbscissa::column:
        return "column " + short_number(value);
    case RateAbscissa::temperature:
        break;
    }
    return "T=" + short_number(value) + " K";
}

// The warnings of one row: the table's end (the share `tail` of the flux above it), and the
// region below its first energy (its share `below` of the rate under the threshold law; 0 when
// not to be said).
void add_warnings(std::vector<std::string>& warnings, const std::string& about, double tail,
                  double below, std::span<const double> energies) {
    if (tail > tail_warning_threshold)
        warnings.push_back(about + ": the table ends at " +
                           short_number(energies.empty() ? 0.0 : energies.back()) +
                           " eV, where a share " + short_number(tail) +
                           " of the rate's integrand lies above it");
    if (below > below_warning_threshold) {
        // `below` is the region's share of the extended rate; the warning says how much it
        // would add to the rate as it stands.
        const std::string added = below < 1.0
                                      ? "add " + short_number(100.0 * below / (1.0 - below)) + " %"
                                      : "give the whole rate";
        warnings.push_back(about + ": the region below " + short_number(energies.front()) +
                           " eV would " + added + " under --below wigner");
    }
}

} // namespace

store::Status mean_energies(std::span<const double> values, std::string_view what) {
    if (values.empty())
        return store::usage_error(std::string(what) + ": no mean energy");
    for (const double e : values)
        if (!(e >= lowest_mean_energy_ev && e <= highest_mean_energy_ev))
            return store::usage_error(std::string(what) + ": mean energies from 0.001 to 1000 eV");
    return {};
}

store::Result<EedfChoice> parse_eedf(std::string_view text, std::string_view what) {
    EedfChoice choice;
    const auto refused = [&] {
        return store::usage_error(std::string(what) +
                                  ": maxwell, druyvesteyn, shape=X (X from 0.5 to 5) or "
                                  "file:PATH[:COLUMNS]");
    };
    if (text == "maxwell")
        return choice;
    if (text == "druyvesteyn") {
        choice.shape = 2.0;
        choice.name = "druyvesteyn";
        return choice;
    }
    if (text.starts_with("shape=")) {
        const std::string_view number = text.substr(6);
        double x = 0.0;
        const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), x);
        if (number.empty() || ec != std::errc() || end != number.data() + number.size())
            return refused();
        if (!(x >= numerics::min_distribution_shape && x <= numerics::max_distribution_shape))
            return store::usage_error(std::string(what) + ": a shape X from 0.5 to 5");
        choice.shape = x;
        choice.name = "shape=" + std::string(number);
        return choice;
    }
    if (!text.starts_with("file:") || text.size() <= 5)
        return refused();
    std::string_view rest = text.substr(5);
    // Columns at the end: ":2" or ":2,4"; a path may hold ':' of its own.
    const std::size_t colon = rest.rfind(':');
    if (colon != std::string_view::npos && colon + 1 < rest.size() &&
        rest.find_first_not_of("0123456789,", colon + 1) == std::string_view::npos) {
        std::vector<std::int32_t> columns;
        std::string_view list = rest.substr(colon + 1);
        while (true) {
            const std::size_t comma = list.find(',');
            const std::string_view item = list.substr(0, comma);
            std::int32_t c = 0;
            const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), c);
            if (item.empty() || ec != std::errc() || end != item.data() + item.size() || c < 2 ||
                c > 1000)
                return store::usage_error(std::string(what) +
                                          ": columns from 2 (column 1 is the energy) to 1000");
            columns.push_back(c);
            if (comma == std::string_view::npos)
                break;
            list.remove_prefix(comma + 1);
        }
        choice.columns = std::move(columns);
        rest = rest.substr(0, colon);
    }
    if (rest.empty())
        return refused();
    choice.file = std::string(rest);
    choice.name = "file:" + std::string(text.substr(5));
    return choice;
}

store::Status distribution_allowed(const std::optional<CurveSelector>& selector,
                                   bool maxwellian_at_temperature) {
    if (is_aed(selector) && !maxwellian_at_temperature)
        return store::usage_error("AED rates are Maxwellian at the gas temperature");
    return {};
}

store::Result<double> rate_mass(const std::optional<CurveSelector>& selector,
                                std::optional<double> mass_u) {
    if (mass_u)
        return *mass_u;
    if (!is_aed(selector))
        return electron_mass_u;
    // In associative detachment the anion meets the atom: the reduced mass of the two.
    const auto reduced = reduced_mass_u(selector->molecule);
    if (!reduced)
        return store::data_error(
            {}, 0, "the reduced mass of " + selector->molecule + " is not known: give the mass");
    return *reduced;
}

namespace {

// The request's distributions, one per row of the table: each with its abscissa value, mean
// energy and normalisation (1 for the family). A usage error for a request out of its ranges;
// the warnings of tabulated distributions that were not normalised go to `warnings`.
struct Distributions {
    std::vector<numerics::ElectronDistribution> each;
    std::vector<double> abscissa, mean_energy, normalisation;
};

store::Result<Distributions> distributions_of(const RateRequest& request,
                                              const std::optional<CurveSelector>& selector,
                                              std::vector<std::string>& warnings) {
    const bool tabulated = !request.tables.empty();
    if (store::Status allowed =
            distribution_allowed(selector, !tabulated && request.shape == 1.0 &&
                                               request.abscissa == RateAbscissa::temperature);
        !allowed)
        return std::move(allowed).error();
    if (store::Status taken = mass_value(request.mass_u, "mass"); !taken)
        return std::move(taken).error();
    Distributions out;
    if (tabulated) {
        for (const TabulatedEedf& table : request.tables) {
            const numerics::TabulatedDistribution f{table.energy_ev, table.values};
            const std::string about = label(RateAbscissa::column, table.column);
            const auto moments = numerics::tabulated_moments(f);
            if (numerics::check_distribution(f) != numerics::RateInput::valid || !moments)
                return store::data_error({}, 0,
                                         about + ": the distribution holds nothing (its integral "
                                                 "of f sqrt(E) dE is 0)");
            if (std::abs(moments->normalisation - 1.0) > normalisation_warning_threshold)
                warnings.push_back(about + ": the integral of f sqrt(E) dE is " +
                                   short_number(moments->normalisation) +
                                   ", not 1: the distribution is normalised");
            out.each.emplace_back(f);
            out.abscissa.push_back(table.column);
            out.mean_energy.push_back(moments->mean_energy_ev);
            out.normalisation.push_back(moments->normalisation);
        }
        return out;
    }
    if (!(request.shape >= numerics::min_distribution_shape &&
          request.shape <= numerics::max_distribution_shape))
        return store::usage_error("eedf: a shape X from 0.5 to 5");
    const store::Status values = request.abscissa == RateAbscissa::mean_energy
                                     ? mean_energies(request.values, "mean energies")
                                     : rate_temperatures(request.values, "temperatures");
    if (!values)
        return values.error();
    for (const double value : request.values) {
        const double mean = request.abscissa == RateAbscissa::temperature
                                ? maxwellian_mean_energy_ev(value)
                                : value;
        out.each.emplace_back(numerics::ShapedDistribution{request.shape, mean});
        out.abscissa.push_back(value);
        out.mean_energy.push_back(mean);
        out.normalisation.push_back(1.0);
    }
    return out;
}

} // namespace

store::Result<Rates> curve_rates(const Curve& curve, const std::optional<CurveSelector>& selector,
                                 const RateRequest& request) {
    Rates rates;
    store::Result<Distributions> d = distributions_of(request, selector, rates.warnings);
    if (!d)
        return std::move(d).error();
    store::Result<double> mass = rate_mass(selector, request.mass_u);
    if (!mass)
        return std::move(mass).error();
    rates.abscissa = request.tables.empty() ? request.abscissa : RateAbscissa::column;
    rates.distribution = request.distribution;
    rates.below = request.below;
    rates.mass_u = *mass;
    const std::span<const double> energies(curve.energy);
    const std::span<const double> sigma(curve.sigma.data(), curve.points());
    for (std::size_t f = 0; f < d->each.size(); ++f) {
        const auto rate = distribution_rate(energies, sigma, d->each[f], request.below, *mass);
        if (!rate)
            return store::data_error({}, 0,
                                     "the curve's table cannot be integrated (energies below 0 "
                                     "or not rising, or values that are not finite)");
        if (!std::isfinite(rate->k_cm3_s))
            return store::data_error({}, 0, "the rate is not a finite number");
        rates.rows.push_back({d->abscissa[f], d->mean_energy[f], rate->k_cm3_s});
        add_warnings(rates.warnings, label(rates.abscissa, d->abscissa[f]), rate->tail,
                     request.below == BelowTable::zero ? rate->below : 0.0, energies);
    }
    return rates;
}

store::Result<ThermalRates> thermal_rates(store::FileSystem& files, std::string_view db,
                                          std::string_view molecule,
                                          std::span<const TemperaturePair> pairs,
                                          const RateRequest& request, unsigned threads,
                                          bool request_limits) {
    ThermalRates out;
    store::Result<Distributions> d = distributions_of(request, std::nullopt, out.rates.warnings);
    if (!d)
        return std::move(d).error();
    const double mass = request.mass_u.value_or(electron_mass_u);
    const std::size_t rows = d->each.size();
    // What each distribution gives below the grid and above it, once the grid is known.
    std::vector<double> below(rows), tail(rows);
    const GridWeights weights_for =
        [&](std::span<const double> grid) -> store::Result<std::vector<std::vector<double>>> {
        std::vector<std::vector<double>> w;
        for (std::size_t f = 0; f < rows; ++f) {
            auto row = numerics::rate_weights(grid, d->each[f]);
            const auto b =
                numerics::below_first_factor(grid.empty() ? 0.0 : grid.front(), d->each[f]);
            const auto t = numerics::tail_share(grid.empty() ? 0.0 : grid.back(), d->each[f]);
            if (!row || !b || !t)
                return store::data_error({}, 0,
                                         "the average's grid cannot be integrated (energies "
                                         "below 0 or not rising)");
            w.push_back(std::move(*row));
            below[f] = *b;
            tail[f] = *t;
        }
        return w;
    };
    ScanOptions options;
    options.request_limits = request_limits;
    store::Result<ThermalIntegrals> integrals =
        thermal_integrals(files, db, molecule, pairs, weights_for, threads, options);
    if (!integrals)
        return std::move(integrals).error();

    out.rates.abscissa = request.tables.empty() ? request.abscissa : RateAbscissa::column;
    out.rates.distribution = request.distribution;
    out.rates.below = request.below;
    out.rates.mass_u = mass;
    out.pairs.assign(pairs.begin(), pairs.end());
    out.per_pair = rows;
    const std::vector<double>& grid = integrals->average.energy;
    const double factor = speed_factor(mass);
    for (std::size_t p = 0; p < pairs.size(); ++p) {
        // As distribution_rate takes the average's table: the threshold law only where the
        // average's first value is above 0.
        const double first = integrals->first_values[p];
        std::size_t worst_tail = 0, worst_below = 0;
        double worst_below_share = 0.0;
        for (std::size_t f = 0; f < rows; ++f) {
            const double inside = integrals->integrals[p * rows + f];
            const double extension = first > 0.0 ? below[f] * first : 0.0;
            const double with = inside + extension;
            const double share = with > 0.0 ? extension / with : 0.0;
            const double k = (request.below == BelowTable::wigner ? with : inside) /
                             d->normalisation[f] * factor;
            if (!std::isfinite(k))
                return store::data_error({}, 0, "the rate is not a finite number");
            out.rates.rows.push_back({d->abscissa[f], d->mean_energy[f], k});
            if (tail[f] > tail[worst_tail])
                worst_tail = f;
            if (share > worst_below_share) {
                worst_below_share = share;
                worst_below = f;
            }
        }
        const std::string pair = "Tv=" + std::to_string(pairs[p].tv_k) +
                                 " K, TJ=" + std::to_string(pairs[p].tj_k) + " K: ";
        std::vector<std::string> lines;
        if (rows > 0) {
            add_warnings(lines, label(out.rates.abscissa, d->abscissa[worst_tail]),
                         tail[worst_tail], 0.0, grid);
            if (request.below == BelowTable::zero)
                add_warnings(lines, label(out.rates.abscissa, d->abscissa[worst_below]), 0.0,
                             worst_below_share, grid);
        }
        for (std::string& line : lines)
            out.rates.warnings.push_back(pair + line);
    }
    out.average = std::move(integrals->average);
    return out;
}

RateFit fit_rates(std::span<const RateRow> rows) {
    std::vector<double> t, k;
    for (const RateRow& row : rows) {
        t.push_back(row.abscissa);
        k.push_back(row.k_cm3_s);
    }
    RateFit out;
    out.fit = numerics::fit_arrhenius(t, k);
    if (!out.fit)
        out.missing = "fewer than 3 distinct temperatures with k > 0";
    return out;
}

} // namespace sigmat::curves
