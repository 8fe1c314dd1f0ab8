// Real gnuplot reads every kind of script the jobs write, with the data files they name,
// and plots points from them without a single error line.
#include "job_fixture.h"

#include <cmath>
#include <cstdlib>

namespace sigmat::test {
namespace {

struct GnuplotRun {
    int status = -1;
    std::string errors;
    int points = 0;
};

// Runs the script in the work directory on the dumb terminal, with its plot sent to a table.
GnuplotRun run_gnuplot(const std::string& work, const std::string& script) {
    GnuplotRun r;
    const std::string cmd = "cd '" + work +
                            "' && GNUTERM=dumb gnuplot -e \"set table 'points.txt'\" '" + script +
                            "' < /dev/null > /dev/null 2> errors.txt";
    r.status = std::system(cmd.c_str());
    r.errors = read_file(work + sep + "errors.txt");
    std::string table = read_file(work + sep + "points.txt");
    std::size_t at = 0;
    while ((at = table.find(" i\n", at)) != std::string::npos) {
        ++r.points;
        ++at;
    }
    return r;
}

double xs(double e) {
    return e > 0.4 ? 1e-16 * std::exp(-(e - 0.4)) : 0.0;
}

class GnuplotAccepts : public JobTest {
  public:
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "needs gnuplot itself, which the Windows tests do not have";
#endif
        JobTest::SetUp();
        const std::string mol = db + sep + "HCl" + sep;
        write_file(mol + "DA" + sep + "nu00" + sep + "DA00J00.dat",
                   dea_file(0.0, 3.0, 10, 0.4, xs));
        write_file(
            mol + "VE" + sep + "nu00" + sep + "VE00J00.dat",
            channel_file(3.0, 10, 3, [](double e, int c) { return e > 0.3 * c ? 1e-17 : 0.0; }));
        write_file(mol + "AD" + sep + "adJ00.dat", channel_file(3.0, 10, 4, [](double e, int c) {
                       return 1e-18 * (c + 1) / (1 + e);
                   }));
        write_file(mol + "AD" + sep + "adTot.dat",
                   total_file(3.0, 10, [](double e) { return 1e-17 / (1 + e); }));
        p.set_text(id::rot_initial, "0");
        p.set_text(id::vib_final, "1");
        for (int j = 0; j <= 2; ++j)
            write_file(mol + "DA" + sep + "nu00" + sep + "DA00J0" + std::to_string(j) + ".dat",
                       dea_file(0.0013 * j * (j + 1), 3.0, 10, 0.4, xs));
    }
};

TEST_F(GnuplotAccepts, EveryScriptOfEveryJob) {
    struct Case {
        int process;
        bool thermal, range, resolution, older;
    } const cases[] = {
        {id::dea, false, false, false, false},      {id::dea, false, true, true, false},
        {id::ve, false, false, false, false},       {id::ve, false, true, true, false},
        {id::aed, false, false, false, false},      {id::aed, false, false, true, false},
        {id::aed_total, false, true, false, false}, {id::aed_total, false, false, true, false},
        {id::dea, true, false, false, false},       {id::dea, true, true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("process " + std::to_string(c.process) + (c.thermal ? " thermal" : "") +
                     (c.range ? " range" : "") + (c.resolution ? " resolution" : ""));
        p.clear_records();
        select_process(c.process);
        settings.useEnergyRange = c.range;
        settings.useResolution = c.resolution;
        p.set_text(id::energy_min, "0.2");
        p.set_text(id::energy_max, "2.5");
        if (c.thermal)
            plot_thermal();
        else
            plot_single();
        ASSERT_TRUE(messages().empty()) << messages()[0];
        ASSERT_EQ(launches().size(), 1u);
        GnuplotRun r = run_gnuplot(work, launches()[0].script);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.errors, "") << launches()[0].script;
        EXPECT_GT(r.points, 10) << launches()[0].script;
    }
}

TEST_F(GnuplotAccepts, TheOlderWordingIsTheUsersChoiceAndGnuplotSaysWhy) {
    p.set_checked(id::version_older, true);
    plot_single();
    ASSERT_EQ(launches().size(), 1u);
    GnuplotRun r = run_gnuplot(work, launches()[0].script);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.errors.find("line 1:"), std::string::npos) << r.errors;
}

} // namespace
} // namespace sigmat::test
