#include "numerics/arrhenius.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace sigmat::numerics {
namespace {

// k = A (T/300)^b exp(-Ea/T) comes back from its own table; points with k <= 0 are left out.
TEST(Arrhenius, RecoversKnownParameters) {
    struct Case {
        double a, b, ea;
    } const cases[] = {{3e-10, -0.5, 1200.0}, {1e-12, 2.0, -300.0}, {5e-9, 0.7, 8000.0}};
    for (const auto& c : cases) {
        std::vector<double> t, k;
        for (double x = 50.0; x <= 5000.0; x *= 1.2) {
            t.push_back(x);
            k.push_back(c.a * std::pow(x / 300.0, c.b) * std::exp(-c.ea / x));
        }
        t.push_back(7000.0);
        k.push_back(0.0);
        const auto fit = fit_arrhenius(t, k);
        ASSERT_TRUE(fit);
        EXPECT_NEAR(fit->a / c.a, 1.0, 1e-9);
        EXPECT_NEAR(fit->b / c.b, 1.0, 1e-9);
        EXPECT_NEAR(fit->ea_k / c.ea, 1.0, 1e-9);
        EXPECT_EQ(fit->t_lo_k, 50.0);
        EXPECT_LT(fit->t_hi_k, 5000.0);
        EXPECT_EQ(fit->points, t.size() - 1);
        EXPECT_LT(fit->max_deviation, 1e-9);
    }
}

TEST(Arrhenius, ReportsTheDeviationOrNothing) {
    // +-5 % around an Arrhenius law, alternating: the fit stays near the law and says so.
    std::vector<double> t, k;
    for (int i = 0; i < 20; ++i) {
        t.push_back(200.0 + 100.0 * i);
        k.push_back(1e-9 * std::exp(-500.0 / t.back()) * (i % 2 ? 1.05 : 0.95));
    }
    const auto fit = fit_arrhenius(t, k);
    ASSERT_TRUE(fit);
    EXPECT_GT(fit->max_deviation, 0.04);
    EXPECT_LT(fit->max_deviation, 0.07);
    EXPECT_NEAR(fit->ea_k, 500.0, 50.0);
    const std::vector<double> two = {300.0, 400.0, 500.0}, same = {300.0, 300.0, 300.0};
    const std::vector<double> k3 = {1.0, 0.0, 2.0}, ones = {1.0, 1.0, 1.0};
    EXPECT_FALSE(fit_arrhenius(two, k3));    // two points with k > 0
    EXPECT_FALSE(fit_arrhenius(same, ones)); // one temperature
    EXPECT_FALSE(fit_arrhenius(std::vector<double>{-1.0, 300.0, 400.0}, ones));
    EXPECT_FALSE(fit_arrhenius(two, std::vector<double>{1.0, 1.0}));
}

} // namespace
} // namespace sigmat::numerics
