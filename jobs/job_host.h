// What a plot job needs from the outside, and nothing more: message boxes, the question
// whether to recompute an old result, the wait indicator, the files, and starting the
// plotter in a given folder.
//
// It is abstract because the same jobs run for the real dialog, for the headless one that
// the tests and sigmat-drive play, and for any other front end; a job never sees a dialog
// control, and never changes the process's current directory.
#pragma once

#include "curves/curve.h"
#include "process/plotter_process.h"
#include "store/file_system.h"

#include <string>
#include <string_view>

namespace sigmat::jobs {

class JobHost {
  public:
    virtual ~JobHost();

    // An error box (caption "Error processing command", one OK button); the job ends after it.
    virtual void show_error(std::string_view message) = 0;
    // "Recalculate old data file found in your work directory?": true for Yes.
    [[nodiscard]] virtual bool ask_recalculate() = 0;
    // The "Wait, please..." indicator, shown at once.
    virtual void set_waiting(bool on) = 0;
    // Starts `program` on `script` (a name relative to `directory`) in `directory` and returns
    // when it has ended. `program` is the configured path, before any PATH search.
    virtual process::PlotterResult start_plotter(const std::string& directory,
                                                 const std::string& program,
                                                 const std::string& script) = 0;
    virtual store::FileSystem& files() = 0;

    // The temperature average that the thermal job plots, with the states that entered it,
    // before the plotter starts. A host that wants it also when the old result is kept says
    // so: the job then computes the average (unfolded) for it alone.
    virtual void report_average(const curves::Curve& average);
    [[nodiscard]] virtual bool wants_average_report() const;
    // After "Data file not found.": the path the job looked for (spelt as it would be on disk).
    virtual void report_not_found(const std::string& path);
};

} // namespace sigmat::jobs
