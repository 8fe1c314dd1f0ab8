// Curves side by side: the comparison list that the Compare menu fills from the dialog and
// the user from files of their own, one figure of them all, and their exports.
//
// Every curve is held in A^2 on its own grid; the View menu's unit and log axes apply when a
// figure or a table is made. A curve of the database keeps its selector and provenance (for the
// tables' "#" lines and the LXCat blocks); a curve read from an LXCat file keeps its block.
#pragma once

#include "curves/curve.h"
#include "curves/database.h"
#include "curves/export.h"
#include "curves/lxcat.h"
#include "curves/measured.h"
#include "jobs/plot_jobs.h"
#include "platform/platform.h"
#include "store/error.h"
#include "store/file_system.h"
#include "store/plot_scripts.h"
#include "store/session_file.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sigmat::app {

struct Application;

// How the user's own file is read: two columns with sigma in one of the units, or an LXCat
// file (sigma in m^2).
enum class OutsideFormat { columns_a2, columns_cm2, columns_m2, lxcat };

// A curve of the user's file as it was read, so that it can be read again at the next start.
struct FileOrigin {
    std::string path;
    OutsideFormat format = OutsideFormat::columns_a2;
    std::optional<std::int32_t> block; // LXCat: the block read (1-based)
    std::optional<std::int32_t> fwhm_mev;
};

struct ComparedCurve {
    std::string label;   // the legend entry
    std::string source;  // the selector ("HCl:dea:v=0,J=3,fwhm=50") or the file
    curves::Curve curve; // one column, A^2
    std::optional<curves::CurveSelector> selector; // a curve of the database
    std::optional<curves::LxcatBlock> block;       // a curve read from an LXCat file
    std::optional<FileOrigin> file = {};           // a curve of the user's file
    std::string database = {};                     // a curve of a database: its folder
    // A temperature average: its states and the share of the population they hold.
    std::string note = {};
};

struct Comparison {
    std::vector<ComparedCurve> curves;
};

// List edits; an index beyond the list changes nothing.
void remove_curve(Comparison& list, std::size_t row);
void move_curve(Comparison& list, std::size_t row, std::size_t to);
void relabel_curve(Comparison& list, std::size_t row, std::string label);

// A curve of the database as the comparison holds it, labelled as sigmat-cli labels it.
[[nodiscard]] ComparedCurve database_curve(const curves::CurveSelector& selector,
                                           curves::Curve curve);

// The user's file as the comparison holds it, read by the session (`block` 1-based for an
// LXCat file, the first when not given), resampled onto its smallest step when uneven
// (curves::prepare_measurement) and folded with `fwhm_mev` when given.
[[nodiscard]] store::Result<ComparedCurve>
outside_curve(const curves::Database& db, const std::string& path, OutsideFormat format,
              std::optional<std::int32_t> block, std::optional<std::int32_t> fwhm_mev);

// "1 curve", "3 curves".
[[nodiscard]] std::string curve_count(std::size_t count);

// A curve as the session file keeps it, and the curve it names computed (in its database, else
// the dialog's) or read again, with its label; nothing when it can no longer be had.
[[nodiscard]] store::SessionCurve kept_curve(const ComparedCurve& curve);
[[nodiscard]] std::optional<ComparedCurve> restored_curve(const Application& application,
                                                          const store::SessionCurve& kept);

// The figure of the curves: legend entries, points in the view's unit, log axes, the range;
// the user's measurements with marks at their points (store::measurement_marks).
[[nodiscard]] store::Figure comparison_figure(const std::vector<ComparedCurve>& curves,
                                              const store::View& view,
                                              std::optional<std::pair<double, double>> range);

// The curves as one table: a row per point, "curve" (1, 2, ... in list order), "E_eV" and the
// cross section in `unit`; the "#" lines name each curve, its source and its provenance.
[[nodiscard]] curves::DataTable comparison_table(const std::vector<ComparedCurve>& curves,
                                                 curves::SigmaUnit unit);

// The curves as LXCat blocks, one after the other; the labels of the curves that the format
// cannot carry (AED, VE into the same or a lower level, a two-column measurement). The
// database's files tell each block its update time.
struct LxcatText {
    std::string text;
    std::vector<std::string> skipped;
};
[[nodiscard]] LxcatText comparison_lxcat(const curves::Database& db,
                                         const std::vector<ComparedCurve>& curves);

// ---- the dialog's side ------------------------------------------------------------------

// The database session on the dialog's database directory, with the catalogue the dialog shows.
[[nodiscard]] curves::Database dialog_database(const Application& application);

// The curve that the single-cross-section box (or the temperature box) would plot now with its
// present settings; nothing after the message its Plot button would give.
[[nodiscard]] std::optional<ComparedCurve> current_curve(platform::Platform& platform,
                                                         Application& application, bool thermal);

// The comparison window's logic over the application's list.
class ComparisonLogic final : public platform::ComparisonPanel {
  public:
    ComparisonLogic(platform::Platform& platform, Application& application)
        : platform_(platform), app_(application) {}

    std::vector<platform::ComparisonRow> rows() const override;
    void relabel(std::size_t row, std::string_view label) override;
    void remove(std::size_t row) override;
    void move(std::size_t row, std::size_t to) override;
    void add_current() override { add_from_dialog(false); }
    void add_file() override;
    void plot_together() override;
    void export_figure() override;
    void export_data() override;
    void clear() override;

    // Compare > Add current curve / Add temperature average.
    void add_from_dialog(bool thermal);

  private:
    // The comparison's curves, or the dialog's current curve when the list is empty.
    std::optional<std::vector<ComparedCurve>> curves_to_export();
    void changed();
    // Each action replaces the status line's message.
    void begin();
    void added(std::string_view label);

    platform::Platform& platform_;
    Application& app_;
};

} // namespace sigmat::app
