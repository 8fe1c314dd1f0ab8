#include "curves/rate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace sigmat::curves {
namespace {

struct Table {
    std::vector<double> e, s;
};

// energies from..to (inclusive) in steps of step eV, sigma(E) from f.
template <typename F> Table make_table(double from, double to, double step, F f) {
    Table t;
    const auto n = static_cast<int>(std::llround((to - from) / step));
    for (int i = 0; i <= n; ++i) {
        const double e = from + step * i;
        t.e.push_back(e);
        t.s.push_back(f(e));
    }
    return t;
}

TEST(Rate, ConstantCrossSectionGivesMeanSpeedTimesSigma) {
    // sigma = 1 A^2 = 1e-16 cm^2 times the mean electron speed sqrt(8 kB T / (pi me)).
    const Table t = make_table(0.001, 4.0, 0.001, [](double) { return 1.0; });
    struct Case {
        double temperature, expected;
    } const cases[] = {{300.0, 1.0760e-9}, {1000.0, 1.9646e-9}};
    for (const auto& c : cases) {
        const auto k = maxwellian_rate_cm3_s(t.e, t.s, c.temperature, electron_mass_u);
        ASSERT_TRUE(k) << c.temperature;
        EXPECT_NEAR(*k / c.expected, 1.0, 1e-3) << c.temperature << " K: " << *k;
    }
}

TEST(Rate, InverseSqrtCrossSectionGivesTheSameRateAtEveryTemperature) {
    // sigma = c / sqrt(E): sigma v is a constant, k = c sqrt(2 / m) whatever T.
    const double c = 2.0; // A^2 eV^(1/2)
    const Table t = make_table(0.001, 4.0, 0.001, [c](double e) { return c / std::sqrt(e); });
    const double m_kg = electron_mass_u * kg_per_atomic_mass_unit;
    const double expected = c * 1e-16 * std::sqrt(2.0 * joule_per_ev / m_kg) * 1e2; // cm^3/s
    for (const double temperature : {300.0, 1000.0, 3000.0}) {
        const auto k = maxwellian_rate_cm3_s(t.e, t.s, temperature, electron_mass_u);
        ASSERT_TRUE(k);
        EXPECT_NEAR(*k / expected, 1.0, 0.01) << temperature << " K";
    }
}

TEST(Rate, LinearCrossSectionAgreesWithTheClosedForm) {
    // sigma = c E on [a, b]: integral E^2 exp(-E/kT) dE has the antiderivative
    // -kT exp(-E/kT) (E^2 + 2 E kT + 2 kT^2). Worked in SI, apart from the code's own path.
    const double c = 0.7; // A^2 / eV
    struct Case {
        double a, b, temperature, mass_u;
    } const cases[] = {
        {0.0, 3.0, 300.0, electron_mass_u},
        {0.05, 0.4, 1000.0, electron_mass_u},
        {0.2, 2.5, 5000.0, electron_mass_u},
        {0.0, 1.0, 500.0, 0.9795}, // a heavy pair: k scales as 1 / sqrt(m)
    };
    for (const auto& cs : cases) {
        const Table t = make_table(cs.a, cs.b, 1e-4, [c](double e) { return c * e; });
        const double kt = kb_joule_per_kelvin * cs.temperature;
        auto antiderivative = [kt](double e) {
            return -kt * std::exp(-e / kt) * (e * e + 2.0 * e * kt + 2.0 * kt * kt);
        };
        const double a = cs.a * joule_per_ev, b = cs.b * joule_per_ev;
        const double c_si = c * 1e-20 / joule_per_ev; // m^2 / J
        const double m = cs.mass_u * kg_per_atomic_mass_unit;
        const double k_m3_s = std::sqrt(8.0 / (std::numbers::pi * m)) * std::pow(kt, -1.5) * c_si *
                              (antiderivative(b) - antiderivative(a));
        const auto k = maxwellian_rate_cm3_s(t.e, t.s, cs.temperature, cs.mass_u);
        ASSERT_TRUE(k);
        EXPECT_NEAR(cm3_s_to_m3_s(*k) / k_m3_s, 1.0, 1e-12) << cs.a << ".." << cs.b;
    }
}

TEST(Rate, BrokenContractsGiveNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* name;
        std::vector<double> e, s;
        double temperature, mass;
    } const cases[] = {
        {"sizes differ", {0.1, 0.2}, {1.0}, 300.0, electron_mass_u},
        {"descending energies", {0.2, 0.1}, {1.0, 1.0}, 300.0, electron_mass_u},
        {"negative energy", {-0.1, 0.1}, {1.0, 1.0}, 300.0, electron_mass_u},
        {"NaN sigma", {0.1, 0.2}, {1.0, nan}, 300.0, electron_mass_u},
        {"infinite energy", {0.1, inf}, {1.0, 1.0}, 300.0, electron_mass_u},
        {"zero temperature", {0.1, 0.2}, {1.0, 1.0}, 0.0, electron_mass_u},
        {"NaN temperature", {0.1, 0.2}, {1.0, 1.0}, nan, electron_mass_u},
        {"zero mass", {0.1, 0.2}, {1.0, 1.0}, 300.0, 0.0},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(maxwellian_rate_cm3_s(c.e, c.s, c.temperature, c.mass)) << c.name;
        const double ts[] = {c.temperature};
        EXPECT_FALSE(maxwellian_rates(c.e, c.s, ts, c.mass)) << c.name;
    }
    // No interval: no rate, but no broken contract either; equal energies are a step.
    EXPECT_EQ(maxwellian_rate_cm3_s(std::vector<double>{0.1}, std::vector<double>{5.0}, 300.0,
                                    electron_mass_u),
              0.0);
    EXPECT_TRUE(maxwellian_rate_cm3_s(std::vector<double>{0.1, 0.1, 0.2},
                                      std::vector<double>{0.0, 1.0, 1.0}, 300.0, electron_mass_u));
}

TEST(Rate, ScanMatchesSingleTemperaturesAndCarriesTheTail) {
    const Table t = make_table(0.0, 0.5, 0.001, [](double e) { return std::exp(-e); });
    const double temperatures[] = {3000.0, 300.0, 10000.0};
    const auto scan = maxwellian_rates(t.e, t.s, temperatures, electron_mass_u);
    ASSERT_TRUE(scan);
    ASSERT_EQ(scan->size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ((*scan)[i].temperature_k, temperatures[i]);
        EXPECT_EQ((*scan)[i].k_cm3_s,
                  *maxwellian_rate_cm3_s(t.e, t.s, temperatures[i], electron_mass_u));
        EXPECT_EQ((*scan)[i].tail, maxwellian_tail(0.5, temperatures[i]));
    }
    // 0.5 eV is 19 kT at 300 K but 0.58 kT at 10000 K: only the hot point must be warned.
    EXPECT_LT((*scan)[1].tail, tail_warning_threshold);
    EXPECT_GT((*scan)[2].tail, tail_warning_threshold);
    const double bad[] = {300.0, -1.0};
    EXPECT_FALSE(maxwellian_rates(t.e, t.s, bad, electron_mass_u));
}

// The general entry: shape 1 is the Maxwellian path, and sigma = 1 A^2 from 0 gives the mean
// speed times 1e-16 cm^2 (the other shapes' closed forms are the numerics tests').
TEST(Rate, DistributionRatesAgreeWithTheMaxwellian) {
    const Table flat = make_table(0.0, 10.0, 0.001, [](double) { return 1.0; });
    const Table bump = make_table(0.3, 3.0, 0.01, [](double e) { return e * std::exp(-e); });
    const double m = electron_mass_u * kg_per_atomic_mass_unit;
    for (const double t : {300.0, 1000.0, 3000.0}) {
        const numerics::ShapedDistribution maxwellian{1.0, maxwellian_mean_energy_ev(t)};
        const auto k =
            distribution_rate(flat.e, flat.s, maxwellian, BelowTable::zero, electron_mass_u);
        ASSERT_TRUE(k);
        const double mean_speed = std::sqrt(8.0 * kb_joule_per_kelvin * t / (std::numbers::pi * m));
        EXPECT_NEAR(k->k_cm3_s / (mean_speed * 1e-16 * 1e2), 1.0, 1e-9) << t;
        const auto kb = distribution_rate(bump.e, bump.s, maxwellian, BelowTable::zero, 0.98);
        EXPECT_NEAR(kb->k_cm3_s / *maxwellian_rate_cm3_s(bump.e, bump.s, t, 0.98), 1.0, 1e-12);
        EXPECT_NEAR(kb->tail / maxwellian_tail(3.0, t), 1.0, 1e-12);
    }
}

// Below the first energy: the threshold law adds what it says it adds, only where sigma(E1) > 0;
// a tabulated distribution is divided by its normalisation.
TEST(Rate, ThresholdLawRegionAndTabulatedNormalisation) {
    const double c = 2.0;
    const Table t = make_table(0.001, 20.0, 0.001, [c](double e) { return c / std::sqrt(e); });
    const double true_k =
        c * 1e-16 * std::sqrt(2.0 * joule_per_ev / (electron_mass_u * kg_per_atomic_mass_unit)) *
        1e2;
    for (const double temperature : {300.0, 1e4}) {
        const numerics::ShapedDistribution d{1.0, maxwellian_mean_energy_ev(temperature)};
        const auto zero = distribution_rate(t.e, t.s, d, BelowTable::zero, electron_mass_u);
        const auto wigner = distribution_rate(t.e, t.s, d, BelowTable::wigner, electron_mass_u);
        ASSERT_TRUE(zero && wigner);
        EXPECT_EQ(zero->below, wigner->below);
        EXPECT_NEAR(zero->k_cm3_s / wigner->k_cm3_s, 1.0 - wigner->below, 1e-14);
        // 1 meV is 0.039 kT at 300 K but 0.001 kT at 1e4 K.
        EXPECT_EQ(wigner->below > below_warning_threshold, temperature < 1000.0);
        if (temperature > 1000.0) {
            EXPECT_NEAR(wigner->k_cm3_s / true_k, 1.0, 1e-5);
        }
    }
    Table onset = t;
    onset.s[0] = 0.0;
    const auto none = distribution_rate(onset.e, onset.s, numerics::ShapedDistribution{1.0, 0.05},
                                        BelowTable::wigner, electron_mass_u);
    ASSERT_TRUE(none);
    EXPECT_EQ(none->below, 0.0);

    std::vector<double> fe, f1, f2;
    for (int i = 0; i <= 2000; ++i) {
        fe.push_back(0.001 * i);
        f1.push_back(std::exp(-fe.back() / 0.1));
        f2.push_back(2.5 * f1.back());
    }
    const auto k1 = distribution_rate(t.e, t.s, numerics::TabulatedDistribution{fe, f1},
                                      BelowTable::wigner, electron_mass_u);
    const auto k2 = distribution_rate(t.e, t.s, numerics::TabulatedDistribution{fe, f2},
                                      BelowTable::wigner, electron_mass_u);
    ASSERT_TRUE(k1 && k2);
    EXPECT_NEAR(k2->k_cm3_s / k1->k_cm3_s, 1.0, 1e-14);
    EXPECT_NEAR(k1->k_cm3_s / true_k, 1.0, 1e-3); // sigma v constant: any distribution gives C
    EXPECT_FALSE(distribution_rate(t.e, t.s, numerics::ShapedDistribution{6.0, 0.1},
                                   BelowTable::zero, electron_mass_u));
    EXPECT_FALSE(
        distribution_rate(t.e, t.s, numerics::ShapedDistribution{1.0, 0.1}, BelowTable::zero, 0.0));
}

TEST(Rate, TailIndicator) {
    struct Case {
        double emax, temperature, expected;
    } const cases[] = {
        {0.0, 300.0, 1.0},
        {-1.0, 300.0, 1.0},
        {kb_ev_per_kelvin * 1000.0, 1000.0, 2.0 / std::numbers::e},       // x = 1
        {10.0 * kb_ev_per_kelvin * 500.0, 500.0, 11.0 * std::exp(-10.0)}, // x = 10
        {4.0, 300.0,
         (1.0 + 4.0 / (kb_ev_per_kelvin * 300.0)) * // x = 154.7
             std::exp(-4.0 / (kb_ev_per_kelvin * 300.0))},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(maxwellian_tail(c.emax, c.temperature) / c.expected, 1.0, 1e-12) << c.emax;
}

TEST(Rate, ConstantsAgreeWithTheirSiValues) {
    EXPECT_NEAR(electron_mass_u * kg_per_atomic_mass_unit / 9.1093837015e-31, 1.0, 1e-10);
    EXPECT_NEAR(kb_ev_per_kelvin / 8.617333262e-5, 1.0, 1e-9);
}

TEST(Rate, MoleculeCodesSplitIntoAtoms) {
    using Atoms = std::vector<std::string>;
    struct Case {
        const char* code;
        std::optional<Atoms> atoms;
    } const cases[] = {
        {"HCl", Atoms{"H", "Cl"}},     {"DI", Atoms{"D", "I"}},
        {"Cl2", Atoms{"Cl", "Cl"}},    {"HBr", Atoms{"H", "Br"}},
        {"H2O", Atoms{"H", "H", "O"}}, {"C12", Atoms(12, "C")},
        {"hcl", std::nullopt},         {"", std::nullopt},
        {"H0", std::nullopt},          {"H02", std::nullopt},
        {"H100", std::nullopt},        {"2H", std::nullopt},
        {"HCl-", std::nullopt},        {"H Cl", std::nullopt},
        {"HCll", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(split_molecule_code(c.code), c.atoms) << c.code;
}

TEST(Rate, ReducedMasses) {
    const double h = 1.00782503, d = 2.01410178, cl = 34.96885268, i = 126.9044719;
    struct Case {
        const char* code;
        std::optional<double> mu;
    } const cases[] = {
        {"HCl", h * cl / (h + cl)},
        {"DI", d * i / (d + i)},
        {"Cl2", cl / 2.0},
        {"HF", h * 18.99840316 / (h + 18.99840316)},
        {"DBr", d * 78.9183376 / (d + 78.9183376)},
        {"H", std::nullopt},   // one atom
        {"H2O", std::nullopt}, // three atoms
        {"HXe", std::nullopt}, // no mass for Xe
        {"HCL", std::nullopt}, // H, C, L: three atoms
        {"hcl", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto mu = reduced_mass_u(c.code);
        ASSERT_EQ(mu.has_value(), c.mu.has_value()) << c.code;
        if (mu) {
            EXPECT_NEAR(*mu, *c.mu, 1e-12) << c.code;
        }
    }
    EXPECT_FALSE(atomic_mass_u("cl"));
}

} // namespace
} // namespace sigmat::curves
