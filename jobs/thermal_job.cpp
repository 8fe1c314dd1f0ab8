// The DEA cross section of a thermal gas (curves/thermal.h), written to the data folder
// and plotted. Unlike the single-cross-section jobs it always writes a result file, with
// or without a resolution.
#include "curves/thermal.h"
#include "jobs/job_steps.h"
#include "store/number_fields.h"
#include "store/paths.h"
#include "store/plot_scripts.h"
#include "store/result_files.h"

namespace sigmat::jobs {

JobOutcome plot_thermal(JobHost& host, const PlotRequest& r) {
    using store::format_i;
    const auto places = steps::enter(host, r.dirs);
    if (!places)
        return JobOutcome::stopped;
    const std::int32_t tv = r.curve.temperatures.tv_k, tj = r.curve.temperatures.tj_k;
    std::string stem =
        r.curve.molecule + "_Tv" + format_i(tv, 4, 4) + "TJ" + format_i(tj, 4, 4) + "K";
    if (r.curve.fwhm_mev)
        stem += "_FWHM" + format_i(*r.curve.fwhm_mev, 3, 3);
    const std::string script = stem + ".plt";
    const std::string result_path =
        store::join_path(store::join_path(places->work, "data"), stem + ".dat");
    const auto file = steps::quoted_path(host, result_path);
    if (!file || !steps::data_folder(host, *places))
        return JobOutcome::stopped;

    const curves::TemperaturePair pair = r.curve.temperatures;
    if (!steps::keep_old_result(host, result_path)) {
        host.set_waiting(true);
        store::Result<curves::Curve> average = curves::thermal_curve(
            host.files(), places->database, r.curve.molecule, {&pair, 1}, r.curve.fwhm_mev);
        if (!average) {
            host.set_waiting(false);
            steps::show_read_failure(host, average.error());
            return JobOutcome::stopped;
        }
        std::string text;
        store::append_thermal_result(
            text,
            {r.curve.molecule, tv, tj, r.curve.fwhm_mev.has_value(), r.curve.fwhm_mev.value_or(0)},
            average->energy, average->sigma);
        if (!steps::write_file(host, result_path, text, true))
            return JobOutcome::stopped;
        host.report_average(*average);
    } else if (host.wants_average_report()) {
        // The states and weights do not depend on the fold: the unfolded average tells them.
        const store::Result<curves::Curve> average =
            curves::thermal_curve(host.files(), places->database, r.curve.molecule, {&pair, 1}, {});
        if (average)
            host.report_average(*average);
    }

    // The script is written only once the result is complete.
    std::string title = "DEA, " + r.curve.molecule + ", Tv = " + format_i(tv, 4) +
                        "K, TJ = " + format_i(tj, 4) + "K";
    if (r.curve.fwhm_mev)
        title += ", FWHM = " + format_i(*r.curve.fwhm_mev, 3) + " meV";
    const auto quoted_title = steps::quoted_path(host, title);
    if (!quoted_title) {
        host.set_waiting(false);
        return JobOutcome::stopped;
    }
    const store::View& view = r.style.view;
    const std::string command =
        "plot " + steps::range_in_script(host, r.range, r.style.view, result_path) + " " + *file +
        " u " + store::using_columns("2", view) + " t " + *quoted_title;
    std::string text;
    store::append_thermal_script(text, r.style.data_style, r.style.gnuplot_v4, command, view);
    if (!steps::write_file(host, store::join_path(places->work, script), text, true))
        return JobOutcome::stopped;
    host.set_waiting(false);
    return steps::launch(host, r.dirs, *places, script);
}

} // namespace sigmat::jobs
