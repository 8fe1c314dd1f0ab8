// A state file's rows walked along the average's grid: where they land, where the walk ends,
// and what makes the files incompatible.
#include "store/state_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sigmat::store {
namespace {

TEST(StateRows, WalkedAlongTheGrid) {
    std::vector<double> grid; // 0.01, 0.02, ..., 0.10 eV
    for (int i = 1; i <= 10; ++i)
        grid.push_back(0.01 * i);
    struct Case {
        const char* name;
        std::vector<std::string> rows; // "" is an empty line
        RowsOutcome outcome;
        std::size_t first;
        std::vector<double> values; // as handed over
    } const cases[] = {
        {"whole grid",
         {"0.01 1", "0.02 2", "0.03 3", "0.04 4", "0.05 5", "0.06 6", "0.07 7", "0.08 8", "0.09 9",
          "0.10 10"},
         RowsOutcome::on_grid,
         0,
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {"starts higher, ends below top",
         {"0.05 1", "0.060000001 2"},
         RowsOutcome::on_grid,
         4,
         {1, 2}},
        {"runs past top", {"0.09 1", "0.10 2", "0.11 3", ""}, RowsOutcome::on_grid, 8, {1, 2}},
        {"the files' own layout",
         {"5.0000E-02 1.0000E-17", "6.0000E-02 2.0000E-17"},
         RowsOutcome::on_grid,
         4,
         {1e-17, 2e-17}},
        {"empty line after a short table",
         {"0.05 1", "0.06 2", ""},
         RowsOutcome::incompatible,
         4,
         {1, 2}},
        {"row off its grid point", {"0.05 1", "0.07 2"}, RowsOutcome::incompatible, 4, {1}},
        {"first above top", {"0.11 1", "0.12 1"}, RowsOutcome::skipped, 0, {}},
        {"first between grid points", {"0.015 1", "0.025 1"}, RowsOutcome::skipped, 0, {}},
        {"first row unreadable", {"", "0.02 1"}, RowsOutcome::skipped, 0, {}},
        {"no rows", {}, RowsOutcome::skipped, 0, {}},
    };
    for (const auto& c : cases)
        for (const auto reading : {FieldReading::one_by_one, FieldReading::four_at_a_time}) {
            std::string text;
            for (const std::string& row : c.rows)
                text += row + "\n";
            LineCursor cursor(text);
            KnownEnergies known(grid.size());
            std::vector<double> got;
            std::size_t next = 0;
            auto sink = [&](std::size_t first, const double* values, std::size_t count) {
                if (got.empty())
                    next = first;
                EXPECT_EQ(first, next) << c.name << ": the rows come in the grid's order";
                got.insert(got.end(), values, values + count);
                next = first + count;
            };
            const StateSpan span = read_state_rows(grid, cursor, known, sink, reading);
            EXPECT_EQ(span.outcome, c.outcome) << c.name;
            EXPECT_EQ(got, c.values) << c.name;
            if (c.outcome == RowsOutcome::on_grid) {
                EXPECT_EQ(span.first, c.first) << c.name;
                EXPECT_EQ(span.last, c.first + c.values.size() - 1) << c.name;
            }
        }
}

} // namespace
} // namespace sigmat::store
