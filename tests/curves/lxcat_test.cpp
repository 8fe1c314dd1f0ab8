#include "curves/lxcat.h"

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>

namespace sigmat::curves {
namespace {

LxcatBlock attachment_block() {
    LxcatBlock b;
    b.kind = LxcatKind::attachment;
    b.process = "HCl(v=1,J=5) -> H + Cl-";
    b.species = "e / HCl";
    b.process_line = "E + HCl(v=1,J=5) -> H + Cl-, Attachment";
    b.param = "E = 0 eV, FWHM = 50 meV";
    b.comments = {"sigmat 0.1, database /data/db", "source HCl/DA/v1/J5.dat"};
    b.updated = "2024-05-01 12:00:00";
    b.energy_ev = {0.5, 0.75, 1.25};
    b.sigma_m2 = {0.0, 2.5e-21, 1.234567e-22};
    return b;
}

LxcatBlock excitation_block() {
    LxcatBlock b;
    b.kind = LxcatKind::excitation;
    b.process = "HCl(v=0,J=0) -> HCl(v=1)";
    b.line3 = 0.3569;
    b.species = "e / HCl";
    b.process_line = "E + HCl(v=0,J=0) -> E + HCl(v=1), Excitation";
    b.param = "E = 0.3569 eV";
    b.updated = "2024-05-01 12:00:00";
    b.energy_ev = {0.3569, 1.0, 2.0};
    b.sigma_m2 = {0.0, 3.25e-20, 1.0e-20};
    return b;
}

std::string written(const LxcatBlock& b) {
    std::ostringstream out;
    EXPECT_TRUE(write_lxcat_block(out, b).ok());
    return out.str();
}

store::Result<std::vector<LxcatBlock>> read_text(const std::string& text) {
    std::istringstream in(text);
    return read_lxcat(in, "x.txt");
}

TEST(Lxcat, WritesTheAttachmentLayout) {
    EXPECT_EQ(written(attachment_block()), "ATTACHMENT\n"
                                           "HCl(v=1,J=5) -> H + Cl-\n"
                                           "SPECIES: e / HCl\n"
                                           "PROCESS: E + HCl(v=1,J=5) -> H + Cl-, Attachment\n"
                                           "PARAM.:  E = 0 eV, FWHM = 50 meV\n"
                                           "COMMENT: sigmat 0.1, database /data/db\n"
                                           "COMMENT: source HCl/DA/v1/J5.dat\n"
                                           "UPDATED: 2024-05-01 12:00:00\n"
                                           "COLUMNS: Energy (eV) | Cross section (m2)\n"
                                           "-----------------------------\n"
                                           "5.000000e-01\t0.000000e+00\n"
                                           "7.500000e-01\t2.500000e-21\n"
                                           "1.250000e+00\t1.234567e-22\n"
                                           "-----------------------------\n"
                                           "\n");
    // The threshold line comes right after the process.
    const std::string ex = written(excitation_block());
    EXPECT_EQ(ex.substr(0, ex.find("SPECIES")),
              "EXCITATION\nHCl(v=0,J=0) -> HCl(v=1)\n3.569000e-01\n");
}

TEST(Lxcat, RoundTripOfConcatenatedBlocks) {
    const LxcatBlock blocks[] = {attachment_block(), excitation_block(), attachment_block()};
    std::string text = "a preamble line\n";
    for (const auto& b : blocks)
        text += written(b);
    const auto r = read_text(text);
    ASSERT_TRUE(r.ok()) << store::describe(r.error());
    ASSERT_EQ((*r).size(), 3u);
    const std::int32_t first_lines[] = {2, 17, 31};
    for (std::size_t i = 0; i < 3; ++i) {
        const LxcatBlock& a = blocks[i];
        const LxcatBlock& b = (*r)[i];
        EXPECT_EQ(b.first_line, first_lines[i]);
        EXPECT_EQ(b.kind, a.kind);
        EXPECT_EQ(b.process, a.process);
        EXPECT_EQ(b.line3, a.line3);
        EXPECT_EQ(b.species, a.species);
        EXPECT_EQ(b.process_line, a.process_line);
        EXPECT_EQ(b.param, a.param);
        EXPECT_EQ(b.comments, a.comments);
        EXPECT_EQ(b.updated, a.updated);
        EXPECT_EQ(b.columns, "Energy (eV) | Cross section (m2)");
        EXPECT_TRUE(b.other_lines.empty());
        EXPECT_EQ(b.energy_ev, a.energy_ev); // seven significant digits carry these exactly
        EXPECT_EQ(b.sigma_m2, a.sigma_m2);
    }
}

TEST(Lxcat, ReadsTheVariantsOtherProgramsWrite) {
    const std::string lf = test::read_file(test::test_data("curves/lxcat_variants.txt"));
    std::string crlf;
    for (const char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    for (const std::string* text : {&lf, static_cast<const std::string*>(&crlf)}) {
        const auto r = read_text(*text);
        ASSERT_TRUE(r.ok()) << store::describe(r.error());
        ASSERT_EQ((*r).size(), 5u);

        const LxcatBlock& a = (*r)[0];
        EXPECT_EQ(a.kind, LxcatKind::attachment);
        EXPECT_EQ(a.first_line, 7);
        EXPECT_EQ(a.line3, 0.0);
        EXPECT_EQ(a.process, "HCl(v=0,J=0) -> H + Cl-");
        EXPECT_EQ(a.param, "E = 0 eV");
        EXPECT_EQ(a.comments,
                  (std::vector<std::string>{"line 3 of this attachment block holds a number",
                                            "and the columns say m^2"}));
        EXPECT_EQ(a.columns, "Energy (eV) | Cross section (m^2)");
        EXPECT_EQ(a.energy_ev, (std::vector<double>{0.7, 0.8, 0.9}));
        EXPECT_EQ(a.sigma_m2, (std::vector<double>{0.0, 2.5e-21, 1.25e-21}));

        const LxcatBlock& e = (*r)[1];
        EXPECT_EQ(e.kind, LxcatKind::excitation);
        EXPECT_EQ(e.line3, 0.37); // the statistical-weight ratio after it is not kept
        EXPECT_EQ(e.other_lines, (std::vector<std::string>{
                                     "DESCRIPTION: a header line of a kind the reader does not "
                                     "know"}));
        // A step (equal energies), a leading '+', and a value below the range of a double.
        EXPECT_EQ(e.energy_ev, (std::vector<double>{0.37, 1.0, 1.0, 2.0}));
        EXPECT_EQ(e.sigma_m2, (std::vector<double>{0.0, 1.5e-20, 3.0e-20, 0.0}));

        const LxcatKind kinds[] = {LxcatKind::elastic, LxcatKind::ionization, LxcatKind::effective};
        const double line3[] = {1.5e-5, 12.74, 1.5e-5};
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ((*r)[2 + i].kind, kinds[i]);
            EXPECT_EQ((*r)[2 + i].line3, line3[i]);
        }
        EXPECT_EQ((*r)[2].energy_ev, (std::vector<double>{0.0, 10.0}));
        EXPECT_EQ((*r)[4].sigma_m2, (std::vector<double>{7e-19}));
    }
}

TEST(Lxcat, MalformedBlocksNameTheirLine) {
    const std::string head = "ATTACHMENT\nA -> B\nSPECIES: e / A\n";
    const std::string dashes = "-----------------------------\n";
    struct Case {
        const char* name;
        std::string text;
        std::int32_t line;
        const char* reason_part;
    } const cases[] = {
        {"no dashes before the file ends", "x\n" + head + "1 2\n", 2, "opens its table"},
        {"no dashes before the next block",
         head + "ATTACHMENT\nC -> D\n" + dashes + "1 2\n" + dashes, 1, "opens its table"},
        {"table not closed", head + dashes + "1 2\n2 3\n", 4, "no closing line"},
        {"table cut by an empty line", head + dashes + "1 2\n\n2 3\n" + dashes, 4,
         "no closing line"},
        {"table cut by the next block", head + dashes + "1 2\nEXCITATION\n", 4, "no closing line"},
        {"empty table", head + dashes + dashes, 4, "no row"},
        {"word in a row", head + dashes + "1 2\n1.5 two\n" + dashes, 6, "'two'"},
        {"row of one cell", head + dashes + "1\n" + dashes, 5, "1 cells"},
        {"row of three cells", head + dashes + "1 2 3\n" + dashes, 5, "3 cells"},
        {"comma-separated row", head + dashes + "1,2\n" + dashes, 5, "1 cells"},
        {"NaN", head + dashes + "1 nan\n" + dashes, 5, "finite"},
        {"overflow", head + dashes + "1e400 1\n" + dashes, 5, "finite"},
        {"descending energies", head + dashes + "2 1\n1 1\n" + dashes, 6, "below"},
        {"COLUMNS in cm2", head + "COLUMNS: Energy (eV) | Cross section (cm2)\n" + dashes, 4,
         "columns"},
        {"keyword at the end", "EXCITATION\n", 1, "process line"},
        {"excitation without threshold", "\nEXCITATION\nA -> B\nSPECIES: e / A\n", 4, "threshold"},
        {"ionization at the end", "IONIZATION\nA -> A+\n", 1, "threshold"},
        {"elastic without mass ratio", "ELASTIC\nA\nx\n", 3, "mass ratio"},
        {"fault in the second block", head + dashes + "1 2\n" + dashes + head + dashes + "1 x\n",
         11, "'x'"},
    };
    for (const auto& c : cases) {
        const auto r = read_text(c.text);
        EXPECT_FALSE(r.ok()) << c.name;
        EXPECT_EQ(r.error().path, "x.txt") << c.name;
        EXPECT_EQ(r.error().line, c.line) << c.name << ": " << r.error().message;
        EXPECT_NE(r.error().message.find(c.reason_part), std::string::npos)
            << c.name << ": " << r.error().message;
    }
    // Without a block a file is read, and holds none.
    const auto none = read_text("only text\n-----\n1 2\n");
    EXPECT_TRUE(none.ok());
    EXPECT_TRUE((*none).empty());
}

TEST(Lxcat, WriterRefusesBlocksItCouldNotReadBack) {
    struct Case {
        const char* name;
        void (*spoil)(LxcatBlock&);
    } const cases[] = {
        {"line break in a comment", [](LxcatBlock& b) { b.comments.push_back("a\nb"); }},
        {"CR in the process", [](LxcatBlock& b) { b.process += "\r"; }},
        {"excitation without threshold", [](LxcatBlock& b) { b.kind = LxcatKind::excitation; }},
        {"sizes differ", [](LxcatBlock& b) { b.sigma_m2.pop_back(); }},
        {"no rows",
         [](LxcatBlock& b) {
             b.energy_ev.clear();
             b.sigma_m2.clear();
         }},
        {"NaN", [](LxcatBlock& b) { b.sigma_m2[1] = std::numeric_limits<double>::quiet_NaN(); }},
        {"descending", [](LxcatBlock& b) { b.energy_ev[0] = 5.0; }},
    };
    for (const auto& c : cases) {
        LxcatBlock b = attachment_block();
        c.spoil(b);
        std::ostringstream out;
        EXPECT_EQ(write_lxcat_block(out, b).error().kind, store::ErrorKind::data) << c.name;
        EXPECT_TRUE(out.str().empty()) << c.name;
    }
    std::ostringstream bad;
    bad.setstate(std::ios::badbit);
    EXPECT_EQ(write_lxcat_block(bad, attachment_block()).error().kind, store::ErrorKind::io);
}

TEST(Lxcat, UpdatedTimeInUtc) {
    struct Case {
        std::time_t t;
        const char* text;
    } const cases[] = {
        {0, "1970-01-01 00:00:00"},          {951782400, "2000-02-29 00:00:00"},
        {1709251199, "2024-02-29 23:59:59"}, {-1, "1969-12-31 23:59:59"},
        {4102444800, "2100-01-01 00:00:00"}, {-2208988800, "1900-01-01 00:00:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(format_updated_utc(c.t), c.text) << c.t;
}

} // namespace
} // namespace sigmat::curves
