// The plotter program is the gnuplot directory, up to its last non-blank character, followed by
// the program's name, with exactly one separator between them however the directory is typed.
#include "job_fixture.h"

namespace sigmat::test {
namespace {

class PlotterProgram : public JobTest {};

TEST_F(PlotterProgram, OneSeparatorBeforeTheProgramWhateverTheDirectoryEndsWith) {
    const auto flat = [](double) { return 1e-17; };
    const std::string mol = db + sep + "HCl" + sep;
    write_file(mol + "DA" + sep + "nu00" + sep + "DA00J03.dat", dea_file(0.0, 1.0, 10, 0.3, flat));
    write_file(mol + "VE" + sep + "nu00" + sep + "VE00J03.dat",
               channel_file(1.0, 10, 2, [](double, int) { return 1e-17; }));
    write_file(mol + "AD" + sep + "adJ03.dat",
               channel_file(1.0, 10, 2, [](double, int) { return 1e-17; }));
    write_file(mol + "AD" + sep + "adTot.dat", total_file(1.0, 10, flat));
    write_file(mol + "da" + sep + "nu00" + sep + "da00j00.dat", dea_file(0.0, 1.0, 10, 0.3, flat));

    const std::string gp = tmp.str() + sep + "gp";
    const std::string program = gp + sep + std::string(jobs::plotter_executable);
    const std::string typed[] = {gp, gp + sep, gp + sep + "   ", gp + "  "};
    struct Job {
        const char* name;
        int process; // 0: the thermal average
    } const jobs[] = {{"DEA", id::dea},
                      {"VE", id::ve},
                      {"AED", id::aed},
                      {"AED total", id::aed_total},
                      {"thermal", 0}};
    for (const auto& job : jobs)
        for (const auto& dir : typed) {
            SCOPED_TRACE(std::string(job.name) + " with '" + dir + "'");
            p.clear_records();
            settings.gnuplotDir = dir;
            if (job.process == 0) {
                plot_thermal();
            } else {
                select_process(job.process);
                plot_single();
            }
            EXPECT_TRUE(messages().empty()) << messages()[0];
            const auto started = launches();
            EXPECT_EQ(started.size(), 1u);
            for (const auto& launch : started)
                EXPECT_EQ(launch.program, program);
        }
}

} // namespace
} // namespace sigmat::test
