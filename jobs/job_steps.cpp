#include "jobs/job_steps.h"

#include "store/data_files.h"
#include "store/number_fields.h"
#include "store/paths.h"
#include "store/plot_scripts.h"

#include <cstdio>

namespace sigmat::jobs {

JobHost::~JobHost() = default;

void JobHost::report_average(const curves::Curve&) {}
void JobHost::report_not_found(const std::string&) {}

bool JobHost::wants_average_report() const {
    return false;
}

namespace steps {

std::string range_in_script(JobHost& host, const EnergyRange& range, const store::View& view,
                            const std::string& plotted) {
    if (!(range.on && view.log_energy && range.from <= 0.0))
        return store::range_text(range.on, range.from, range.to);
    // No energy at or below 0 on a log axis: the range starts at the file's first energy
    // above it, written with the digits it needs.
    const double first = store::first_positive_energy(host.files(), plotted).value_or(1e-3);
    char lower[32];
    std::snprintf(lower, sizeof lower, "%.10g", first);
    return std::string("[") + lower + ":" + store::format_bound(range.to) + "]";
}

std::optional<Places> enter(JobHost& host, const Directories& dirs) {
    Places places;
    places.work = store::resolve_path(dirs.base, dirs.work);
    if (host.files().stat(places.work).kind != store::PathKind::directory) {
        host.show_error("Invalid work directory");
        return std::nullopt;
    }
    places.database = store::resolve_path(places.work, dirs.database);
    return places;
}

std::string database_path_in_script(const Directories& dirs, const Places& places,
                                    std::string_view found) {
    std::string path = dirs.database;
    path += found.substr(std::min(found.size(), places.database.size()));
    return store::anchored_path(path);
}

std::optional<std::string> quoted_path(JobHost& host, std::string_view path) {
    auto quoted = store::gnuplot_quoted(path);
    if (!quoted)
        host.show_error(std::string(store::unusable_path_message) + "\n" + std::string(path));
    return quoted;
}

std::optional<std::string> data_folder(JobHost& host, const Places& places) {
    std::string folder = store::join_path(places.work, "data");
    if (host.files().make_folder(folder))
        return folder;
    host.show_error("Cannot create the data directory in your work directory.");
    return std::nullopt;
}

bool keep_old_result(JobHost& host, const std::string& path) {
    if (host.files().stat(path).kind != store::PathKind::regular)
        return false;
    return !host.ask_recalculate();
}

bool write_file(JobHost& host, const std::string& path, std::string_view content, bool waiting) {
    if (host.files().write(path, content))
        return true;
    if (waiting)
        host.set_waiting(false);
    host.show_error("Cannot write the file.\n" + path);
    return false;
}

void show_read_failure(JobHost& host, const store::DataError& error) {
    // The dialog names a final level beyond the file's columns as it names a file it cannot
    // read.
    if (error.message.starts_with(store::final_levels_message))
        host.show_error(std::string(store::cannot_read_message) + "\n" + error.path);
    else if (error.message == store::cannot_read_message ||
             error.message == store::cannot_read_folder_message)
        host.show_error(error.message + "\n" + error.path);
    else
        host.show_error(error.message);
    if (error.message == store::not_found_message && !error.path.empty())
        host.report_not_found(error.path);
}

JobOutcome launch(JobHost& host, const Directories& dirs, const Places& places,
                  const std::string& script) {
    const std::string program = store::join_path(dirs.gnuplot, plotter_executable);
    const process::PlotterResult result = host.start_plotter(places.work, program, script);
    switch (result.status) {
    case process::PlotterStatus::finished:
        return JobOutcome::plotted;
    case process::PlotterStatus::not_started:
        host.show_error("An error occured while calling gnuplot");
        break;
    case process::PlotterStatus::reported_error:
        host.show_error("gnuplot reported an error:\n" + result.error_output);
        break;
    }
    return JobOutcome::plotter_failed;
}

} // namespace steps
} // namespace sigmat::jobs
