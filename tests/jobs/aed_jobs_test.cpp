#include "job_fixture.h"

namespace sigmat::test {
namespace {

double falling(double e, int c) {
    return 1e-18 * (c + 1) / (1.0 + e);
}

class AedJobs : public JobTest {
  public:
    std::string aed_dir() const { return db + sep + "HCl" + sep + "AD"; }
    void add_state_file(int j, int channels = 4) {
        write_file(aed_dir() + sep + "adJ" + store::format_i(j, 2, 2) + ".dat",
                   channel_file(3.0, 10, channels, falling));
    }
};

TEST_F(AedJobs, StateResolvedChecksTheFinalStateBeforeJ) {
    select_process(id::aed);
    p.set_text(id::vib_initial, "");
    p.set_text(id::vib_final, "");
    p.set_text(id::rot_initial, "");
    plot_single();
    EXPECT_EQ(messages(),
              std::vector<std::string>{"Select the final vibrational state of the molecule."});
    p.clear_records();
    p.set_text(id::vib_final, "2");
    plot_single();
    EXPECT_EQ(messages(), std::vector<std::string>{"Select the rotational state of the molecule."});
    p.clear_records();
    p.set_text(id::vib_final, "97");
    p.set_text(id::rot_initial, "5");
    plot_single();
    EXPECT_EQ(messages(),
              std::vector<std::string>{"Select the final vibrational state of the molecule."});
}

TEST_F(AedJobs, StateResolvedWorkedExamples) {
    add_state_file(5);
    select_process(id::aed);
    p.set_text(id::vib_initial, ""); // the initial state is not read
    p.set_text(id::vib_final, "2");
    p.set_text(id::rot_initial, "5");
    plot_single();
    ASSERT_TRUE(messages().empty()) << messages()[0];
    EXPECT_EQ(lines(work_file("HCl_AD02J05.plt"))[3],
              "plot [:] '" + aed_dir() + sep + "adJ05.dat' u 1: 5 t 'AED -> HCl( 2, 5)'");

    settings.useEnergyRange = settings.useResolution = true;
    p.set_text(id::energy_min, "0.5");
    p.set_text(id::energy_max, "3");
    p.set_text(id::fwhm, "50");
    plot_single();
    EXPECT_EQ(lines(work_file("HCl_AD02J05FWHM050.plt"))[3],
              "plot [0.50:3.00] '" + work + sep + "data" + sep +
                  "HCl_adJ05FWHM050.dat' u 1: 5 t 'AED -> HCl( 2, 5), FWHM  50 meV'");
    auto result = lines(work_file(std::string("data") + sep + "HCl_adJ05FWHM050.dat"));
    EXPECT_EQ(result[0], "# HCl, cross section of the AED process with changed resolution.");
    EXPECT_EQ(result.size(), 4u + 300u);
}

TEST_F(AedJobs, AnotherFinalStateSharesTheResultFile) {
    add_state_file(5);
    select_process(id::aed);
    settings.useResolution = true;
    p.set_text(id::vib_final, "0");
    p.set_text(id::rot_initial, "5");
    plot_single();
    const std::string result = std::string("data") + sep + "HCl_adJ05FWHM010.dat";
    const std::string before = work_file(result);
    p.set_text(id::vib_final, "7");
    p.queue_answer(false);
    p.clear_records();
    plot_single();
    EXPECT_EQ(asks(), 1);
    EXPECT_EQ(work_file(result), before);
    // v = 7 plots column 10, written without a leading blank; v = 0 plotted column 3.
    EXPECT_NE(work_file("HCl_AD07J05FWHM010.plt").find("' u 1:10 t 'AED -> HCl( 7, 5)"),
              std::string::npos);
    EXPECT_NE(work_file("HCl_AD00J05FWHM010.plt").find("' u 1: 3 t"), std::string::npos);
}

TEST_F(AedJobs, TotalFoundWhateverItsLetterCaseAndNamedAsOnDisk) {
    // Rows with three values: only the first after the energy is a cross section.
    std::string file = "# total\n#\n" + grid_line(1.0, 100) + "#\n#\n#\n";
    for (int k = 1; k <= 10; ++k)
        file += row(0.1 * k, {1e-17 * k, 5.0, 7.0});
    write_file(aed_dir() + sep + "adtot.dat", file);
    select_process(id::aed_total);
    p.set_text(id::vib_final, "");
    p.set_text(id::rot_initial, "");
    plot_single();
    ASSERT_TRUE(messages().empty()) << messages()[0];
    EXPECT_EQ(lines(work_file("HCl_ADTotal.plt"))[3],
              "plot [:] '" + aed_dir() + sep + "adtot.dat' u 1:2 t 'Total AED, HCl'");

    settings.useResolution = true;
    p.set_text(id::fwhm, "50");
    plot_single();
    EXPECT_EQ(lines(work_file("HCl_ADTotalFWHM050.plt"))[3],
              "plot [:] '" + work + sep + "data" + sep +
                  "HCl_adTotalFWHM050.dat' u 1:2 t 'Total AED, HCl FWHM  50 meV'");
    for (const auto& line :
         lines(work_file(std::string("data") + sep + "HCl_adTotalFWHM050.dat"))) {
        if (line[0] != '#') {
            EXPECT_LE(line.size(), 21u) << "energy and one value at most: " << line;
        }
    }

    p.clear_records();
    plot_single();
    ASSERT_EQ(asks(), 1);
    EXPECT_EQ(p.records()[0].text, "Recalculate old data file found in your work directory?");
    EXPECT_EQ(p.records()[0].caption, "Old data file found");
}

TEST_F(AedJobs, TotalRowWithOnlyAnEnergyEndsTheReading) {
    std::string file = "# total\n#\n" + grid_line(1.0, 100) + "#\n#\n#\n";
    for (int k = 1; k <= 4; ++k)
        file += row(0.1 * k, {1e-17});
    file += store::format_es(0.5, 10, 4) + "\n";
    for (int k = 6; k <= 10; ++k)
        file += row(0.1 * k, {1e-17});
    write_file(aed_dir() + sep + "adTot.dat", file);
    select_process(id::aed_total);
    settings.useResolution = true;
    p.set_text(id::fwhm, "1");
    plot_single();
    auto result = lines(work_file(std::string("data") + sep + "HCl_adTotalFWHM001.dat"));
    ASSERT_EQ(result.size(), 14u);
    EXPECT_GT(result[4 + 3].size(), 10u) << "0.4 eV carries a value";
    for (std::size_t k = 5; k < 10; ++k)
        EXPECT_EQ(result[4 + k].size(), 10u) << "rows from 0.6 eV hold the energy alone";
}

} // namespace
} // namespace sigmat::test
