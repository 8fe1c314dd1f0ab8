#include "curves/coverage.h"

#include "numerics/thermal_average.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace sigmat::curves {
namespace {

// Linear least squares y ~ sum_k p_k f_k through the normal equations. The columns are scaled to
// a largest magnitude of 1 first: the rotational basis x, x^2 spans eight decades at J = 100,
// scaled it is an ordinary 2 x 2 system. Nothing when the columns are (nearly) dependent.
template <std::size_t N>
std::optional<std::array<double, N>> least_squares(const std::vector<std::array<double, N>>& basis,
                                                   const std::vector<double>& y) {
    std::array<double, N> scale{};
    for (const auto& row : basis)
        for (std::size_t k = 0; k < N; ++k)
            scale[k] = std::max(scale[k], std::abs(row[k]));
    for (const double s : scale)
        if (!(s > 0.0))
            return std::nullopt;
    std::array<std::array<double, N + 1>, N> m{};
    for (std::size_t i = 0; i < basis.size(); ++i)
        for (std::size_t r = 0; r < N; ++r) {
            const double fr = basis[i][r] / scale[r];
            for (std::size_t c = 0; c < N; ++c)
                m[r][c] += fr * basis[i][c] / scale[c];
            m[r][N] += fr * y[i];
        }
    double largest = 0.0;
    for (std::size_t r = 0; r < N; ++r)
        largest = std::max(largest, std::abs(m[r][r]));
    for (std::size_t col = 0; col < N; ++col) {
        std::size_t pivot = col;
        for (std::size_t r = col + 1; r < N; ++r)
            if (std::abs(m[r][col]) > std::abs(m[pivot][col]))
                pivot = r;
        if (!(std::abs(m[pivot][col]) > 1e-12 * largest))
            return std::nullopt;
        std::swap(m[pivot], m[col]);
        for (std::size_t r = col + 1; r < N; ++r) {
            const double f = m[r][col] / m[col][col];
            for (std::size_t c = col; c <= N; ++c)
                m[r][c] -= f * m[col][c];
        }
    }
    std::array<double, N> p{};
    for (std::size_t r = N; r-- > 0;) {
        double s = m[r][N];
        for (std::size_t c = r + 1; c < N; ++c)
            s -= m[r][c] * p[c];
        p[r] = s / m[r][r];
    }
    for (std::size_t k = 0; k < N; ++k)
        p[k] /= scale[k];
    return p;
}

double term_x(std::int32_t j) {
    return static_cast<double>(j) * static_cast<double>(j + 1);
}

double rotational_energy(const RotationalConstants& rc, std::int32_t j) {
    const double x = term_x(j);
    return rc.b_ev * x - rc.d_ev * x * x;
}

// Bv and Dv of a level from its listed energies (ladder.size() >= 2), Ev0 held at the listed
// J = 0 energy. With three states the two constants follow exactly. With more, Dv is kept only
// when it stands out of the scatter of the fit by more than two standard errors, and the level
// is fitted as a rigid rotor (Dv = 0) otherwise: the energies come with five significant digits,
// and a short ladder cannot tell a centrifugal term from that rounding. A spurious Dv > 0 would
// end the ladder at a false turnover, while a missing one changes only the weight far above
// kTJ.
struct RotationFit {
    RotationalConstants constants;
    bool d_fitted = false;
};

RotationFit fit_rotation(const std::vector<double>& ladder) {
    const double e0 = ladder[0];
    const std::size_t n = ladder.size() - 1; // points J = 1 .. n
    if (n < 2)
        return {{(ladder[1] - e0) / 2.0, 0.0}, false};
    // y = B x - D x^2 in the scaled columns u = x / xs, w = u^2.
    const double xs = term_x(static_cast<std::int32_t>(n));
    auto u_of = [xs](std::size_t j) { return term_x(static_cast<std::int32_t>(j)) / xs; };
    double suu = 0.0, suw = 0.0, sww = 0.0, suy = 0.0, swy = 0.0;
    for (std::size_t j = 1; j <= n; ++j) {
        const double u = u_of(j), w = u * u;
        const double y = ladder[j] - e0;
        suu += u * u;
        suw += u * w;
        sww += w * w;
        suy += u * y;
        swy += w * y;
    }
    const double det = suu * sww - suw * suw;
    const double p = (sww * suy - suw * swy) / det; // coefficient of u
    const double q = (suu * swy - suw * suy) / det; // coefficient of w
    bool keep_d = std::isfinite(p) && std::isfinite(q);
    if (keep_d && n > 2) {
        double rss = 0.0;
        for (std::size_t j = 1; j <= n; ++j) {
            const double u = u_of(j);
            const double r = ladder[j] - e0 - p * u - q * u * u;
            rss += r * r;
        }
        const double var_q = rss / static_cast<double>(n - 2) * suu / det;
        keep_d = std::abs(q) > 2.0 * std::sqrt(var_q);
    }
    if (keep_d)
        return {{p / xs, -q / (xs * xs)}, true};
    return {{suy / suu / xs, 0.0}, false};
}

// A straight line (or a constant from one point) through (v, value) pairs.
struct Line {
    double a = 0.0, b = 0.0;
    double at(double v) const { return a + b * v; }
};

std::optional<Line> fit_line(const std::vector<double>& v, const std::vector<double>& value) {
    if (v.empty())
        return std::nullopt;
    if (v.size() == 1)
        return Line{value[0], 0.0};
    std::vector<std::array<double, 2>> basis;
    for (const double x : v)
        basis.push_back({1.0, x});
    if (const auto p = least_squares(basis, value))
        return Line{(*p)[0], (*p)[1]};
    return std::nullopt;
}

struct Temperatures {
    double e00, kTv, kTJ;
    double weight(std::int32_t j, double evj, double ev0) const {
        return numerics::state_weight(j, evj, ev0, e00, kTv, kTJ);
    }
};

struct LadderWeight {
    double weight = 0.0;
    std::int32_t j_end = -1; // last J added; j_from - 1 when none
};

// The weight of J = j_from, j_from + 1, ... of a level at ev0 while its energy keeps rising
// and J <= coverage_max_j.
LadderWeight ladder_weight(const Temperatures& t, double ev0, const RotationalConstants& rc,
                           std::int32_t j_from) {
    LadderWeight out{0.0, j_from - 1};
    double previous = j_from > 0 ? rotational_energy(rc, j_from - 1) : 0.0;
    for (std::int32_t j = j_from; j <= coverage_max_j; ++j) {
        const double e = rotational_energy(rc, j);
        if (j > 0 && !(e > previous))
            break;
        out.weight += t.weight(j, ev0 + e, ev0);
        out.j_end = j;
        previous = e;
    }
    return out;
}

// What the listed levels say about the levels they do not list.
struct LadderModel {
    std::optional<std::array<double, 3>> vibration; // Ev0 = a + b v + c v^2
    std::optional<Line> b_line, d_line;

    double level_energy(std::int32_t v) const {
        const auto& p = *vibration;
        const double x = static_cast<double>(v);
        return p[0] + p[1] * x + p[2] * x * x;
    }
    std::optional<RotationalConstants> rotation(std::int32_t v) const {
        if (!b_line)
            return std::nullopt;
        const double x = static_cast<double>(v);
        return RotationalConstants{b_line->at(x), d_line ? d_line->at(x) : 0.0};
    }
};

LadderModel fit_model(std::span<const std::vector<double>> levels,
                      const std::vector<std::optional<RotationFit>>& rotations) {
    LadderModel model;
    std::vector<double> vs, energies, b_vs, bs, d_vs, ds;
    for (std::size_t v = 0; v < levels.size(); ++v) {
        const double x = static_cast<double>(v);
        if (!levels[v].empty()) {
            vs.push_back(x);
            energies.push_back(levels[v][0]);
        }
        if (rotations[v]) {
            b_vs.push_back(x);
            bs.push_back(rotations[v]->constants.b_ev);
        }
        if (rotations[v] && rotations[v]->d_fitted) {
            d_vs.push_back(x);
            ds.push_back(rotations[v]->constants.d_ev);
        }
    }
    if (vs.size() >= 3) {
        std::vector<std::array<double, 3>> basis;
        for (const double x : vs)
            basis.push_back({1.0, x, x * x});
        model.vibration = least_squares(basis, energies);
    } else if (vs.size() == 2) {
        const double b = (energies[1] - energies[0]) / (vs[1] - vs[0]);
        model.vibration = std::array<double, 3>{energies[0] - b * vs[0], b, 0.0};
    }
    model.b_line = fit_line(b_vs, bs);
    model.d_line = fit_line(d_vs, ds);
    return model;
}

// The whole weight of a level that the database does not list, from the model: nothing when the
// model cannot give it.
struct ModelLevel {
    std::optional<double> weight;
    std::optional<RotationalConstants> rotation;
    std::int32_t j_end = -1;
};

ModelLevel model_level(const Temperatures& t, const LadderModel& model, std::int32_t v) {
    ModelLevel out;
    if (!model.vibration)
        return out;
    const double ev0 = model.level_energy(v);
    out.rotation = model.rotation(v);
    if (out.rotation) {
        const LadderWeight w = ladder_weight(t, ev0, *out.rotation, 0);
        out.weight = w.weight;
        out.j_end = w.j_end;
    } else if (t.kTJ <= 0.0) {
        out.weight = t.weight(0, ev0, ev0); // J > 0 carries no weight at TJ = 0
        out.j_end = 0;
    }
    return out;
}

bool finite_levels(std::span<const std::vector<double>> levels) {
    for (const auto& level : levels)
        for (const double e : level)
            if (!std::isfinite(e))
                return false;
    return true;
}

} // namespace

std::optional<CoverageEstimate> estimate_coverage(std::span<const std::vector<double>> levels,
                                                  double tv_k, double tj_k) {
    if (levels.empty() || levels[0].empty() || !finite_levels(levels) || !std::isfinite(tv_k) ||
        !std::isfinite(tj_k) || tv_k < 0.0 || tj_k < 0.0)
        return std::nullopt;
    const Temperatures t{levels[0][0], numerics::boltzmann_ev_per_k * tv_k,
                         numerics::boltzmann_ev_per_k * tj_k};

    std::vector<std::optional<RotationFit>> rotations(levels.size());
    for (std::size_t v = 0; v < levels.size(); ++v)
        if (levels[v].size() >= 2)
            rotations[v] = fit_rotation(levels[v]);
    const LadderModel model = fit_model(levels, rotations);

    CoverageEstimate out;
    double missing = 0.0;
    auto count_missing = [&](const std::optional<double>& w) {
        if (w)
            missing += *w;
        else
            out.complete = false;
    };

    for (std::size_t v = 0; v < levels.size(); ++v) {
        const std::vector<double>& ladder = levels[v];
        LevelCoverage level;
        level.v = static_cast<std::int32_t>(v);
        level.j_max = static_cast<std::int32_t>(ladder.size()) - 1;
        level.j_end = level.j_max;
        if (rotations[v])
            level.rotation = rotations[v]->constants;
        for (std::size_t j = 0; j < ladder.size(); ++j)
            level.listed_weight += t.weight(static_cast<std::int32_t>(j), ladder[j], ladder[0]);

        if (ladder.empty()) {
            if (t.kTv <= 0.0) {
                level.missing_weight = 0.0; // no level but the ground level is populated
            } else {
                const ModelLevel m = model_level(t, model, level.v);
                level.missing_weight = m.weight;
                level.rotation = m.rotation;
                level.j_end = m.j_end;
            }
        } else if (rotations[v]) {
            const LadderWeight w = ladder_weight(t, ladder[0], rotations[v]->constants,
                                                 static_cast<std::int32_t>(ladder.size()));
            level.missing_weight = w.weight;
            level.j_end = std::max(level.j_max, w.j_end);
        } else if (t.kTJ <= 0.0 || t.weight(0, ladder[0], ladder[0]) == 0.0) {
            level.missing_weight = 0.0; // one state, but nothing above it is populated
        }
        count_missing(level.missing_weight);
        out.listed_weight += level.listed_weight;
        out.levels.push_back(level);
    }

    if (model.vibration) {
        double added = 0.0;
        bool estimated = true;
        for (auto v = static_cast<std::int32_t>(levels.size()); v <= coverage_max_v; ++v) {
            if (!(model.level_energy(v) > model.level_energy(v - 1)))
                break;
            ++out.added_levels;
            if (t.kTv <= 0.0)
                continue;
            const ModelLevel m = model_level(t, model, v);
            if (m.weight)
                added += *m.weight;
            else
                estimated = false;
        }
        if (estimated)
            out.added_weight = added;
    } else if (t.kTv <= 0.0) {
        out.added_weight = 0.0;
    }
    count_missing(out.added_weight);

    out.estimated_total = out.listed_weight + missing;
    out.share_not_held = missing / out.estimated_total; // the ground state alone weighs 1
    out.below_99_percent = out.share_not_held > coverage_warning_share;
    return out;
}

std::vector<std::vector<double>> entered_ladders(const Provenance& provenance) {
    std::vector<std::vector<double>> ladders;
    for (const StateWeight& s : provenance.states) {
        if (s.v < 0 || s.j < 0)
            continue;
        const auto v = static_cast<std::size_t>(s.v);
        if (v >= ladders.size())
            ladders.resize(v + 1);
        if (static_cast<std::size_t>(s.j) == ladders[v].size())
            ladders[v].push_back(s.level_energy_ev);
    }
    // Only the levels from v = 0 up to the first that no state entered.
    for (std::size_t v = 0; v < ladders.size(); ++v)
        if (ladders[v].empty()) {
            ladders.resize(v);
            break;
        }
    return ladders;
}

std::optional<CoverageEstimate> curve_coverage(const Curve& curve, std::size_t column) {
    if (column >= curve.provenance.temperatures.size())
        return std::nullopt;
    const TemperaturePair t = curve.provenance.temperatures[column];
    return estimate_coverage(entered_ladders(curve.provenance), t.tv_k, t.tj_k);
}

ThermalReport thermal_report(const Curve& average) {
    ThermalReport report;
    const auto ladders = entered_ladders(average.provenance);
    report.states = "states: ";
    for (std::size_t v = 0; v < ladders.size(); ++v)
        report.states +=
            "v=" + std::to_string(v) + " J=0.." + std::to_string(ladders[v].size() - 1) + ", ";
    report.states += std::to_string(average.provenance.states.size()) + " states";
    for (std::size_t c = 0; c < average.provenance.temperatures.size(); ++c) {
        const TemperaturePair& t = average.provenance.temperatures[c];
        PairCoverage pair{
            t, "Tv=" + std::to_string(t.tv_k) + " K, TJ=" + std::to_string(t.tj_k) + " K", false};
        const auto estimate = curve_coverage(average, c);
        if (!estimate) {
            pair.text += ": the share of the population held is not estimated";
            report.pairs.push_back(std::move(pair));
            continue;
        }
        char held[32];
        std::snprintf(held, sizeof held, "%.2f", 100.0 * (1.0 - estimate->share_not_held));
        pair.text +=
            ": the states listed hold an estimated " + std::string(held) + " % of the population";
        if (!estimate->complete)
            pair.text += " (at most: a part was not estimated)";
        pair.warning = estimate->below_99_percent;
        report.pairs.push_back(std::move(pair));
    }
    return report;
}

} // namespace sigmat::curves
