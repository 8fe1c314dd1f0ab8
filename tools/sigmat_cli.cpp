// sigmat-cli: the curves of a Sigmat database as tables, temperature scans, rate
// coefficients, LXCat blocks and figures, and a check of the database itself.
//
//   sigmat-cli [--db DIR] [--threads N] COMMAND [OPTIONS]      (--help on every command)
//
// This file reads the command line and formats the answers; every question goes to the
// database session (curves/database.h).
#include "tools/sigmat_cli.h"

#include "curves/coverage.h"
#include "curves/database.h"
#include "curves/export.h"
#include "curves/state_curves.h"
#include "process/figure_file.h"
#include "process/output_file.h"
#include "process/plotter_process.h"
#include "store/number_fields.h"
#include "store/plot_scripts.h"
#include "store/settings_file.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

namespace sigmat::cli {
namespace {

// A request that cannot be served (exit status 1) or a command line that does not say what it
// means (2), with the reason for standard error.
struct Stop {
    int status;
    std::string why;
};

// The status a failure of the session ends the program with.
[[noreturn]] void stop(const store::DataError& error) {
    throw Stop{error.kind == store::ErrorKind::usage ? 2 : 1, store::describe(error)};
}
template <typename T> T take(store::Result<T> result) {
    if (!result)
        stop(result.error());
    return std::move(result).value();
}
void check(const store::Status& status) {
    if (!status)
        stop(status.error());
}
[[noreturn]] void usage(std::string why) {
    throw Stop{2, std::move(why)};
}

// A list of numbers given as `what`; a usage error names the argument and the text.
std::vector<double> numbers_of(const std::string& what, const std::string& text) {
    store::Result<std::vector<double>> list = curves::parse_number_list(text);
    if (!list)
        usage(what + " " + text + ": " + list.error().message);
    return *list;
}

curves::CurveSelector selector_of(const curves::Database& db, const std::string& text) {
    store::Result<curves::CurveSelector> selector = db.selector(text);
    if (!selector)
        usage(text + ": " + selector.error().message);
    return *selector;
}

bool display_available(const Io& io) {
#ifdef _WIN32
    (void)io;
    return true;
#else
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (!io.environment(name).value_or("").empty())
            return true;
    return false;
#endif
}

// The text on standard output, checked at once: a full disk or a closed pipe must not look
// like success, and the system's reason is still at hand.
void print(const Io& io, const std::string& text) {
    errno = 0;
    io.out << text;
    io.out.flush();
    if (!io.out)
        throw Stop{1, std::string("cannot write standard output: ") +
                          std::strerror(errno != 0 ? errno : EIO)};
}

// The output: the file named by -o (process/output_file.h), never one of the request's
// `inputs`, or standard output.
void emit(const Io& io, const curves::Database& db, const std::string& output,
          const std::string& text, std::vector<std::string> inputs) {
    if (output.empty())
        return print(io, text);
    inputs.push_back(db.catalogue_path());
    if (const store::Status written = process::write_output(io.files, output, text, inputs);
        !written)
        stop(written.error());
}

// A fold narrower than twice the grid step, said on standard error (the dialog's fold, whose
// kernel is normalised analytically, inflates such a curve).
void warn_narrow_fold(const Io& io, std::optional<std::int32_t> fwhm,
                      const std::vector<double>& energy) {
    if (!fwhm)
        return;
    if (const auto warning = curves::narrow_fold_warning(*fwhm, energy))
        io.err << "warning: " << *warning << "\n";
}

struct Options {
    std::string db, molecule, selector, units = "A2", format = "tsv", output, tv, tj, t_list, range,
                                        rate_units = "cm3/s", gnuplot, mean_energy,
                                        eedf = "maxwell", below = "zero", fit;
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    std::optional<std::int32_t> fwhm;
    std::optional<double> mass;
    std::vector<std::string> selectors;
    bool logx = false, logy = false, as_tabulated = false;
};

void curve_command(const Io& io, const curves::Database& db, const Options& o) {
    const curves::CurveSelector selector = selector_of(db, o.selector);
    const curves::SigmaUnit unit = take(curves::sigma_unit(o.units, "--units"));
    const curves::Curve curve = take(db.curve(selector));
    warn_narrow_fold(io, selector.fwhm_mev, curve.energy);
    if (o.format == "lxcat") {
        std::ostringstream out;
        if (const store::Status written =
                curves::write_lxcat_block(out, take(db.lxcat(curve, selector, o.as_tabulated)));
            !written)
            stop(written.error());
        return emit(io, db, o.output, out.str(), curve.provenance.source_files);
    }
    emit(io, db, o.output,
         curves::rendered(curves::curve_table(curve, curves::selector_text(selector), unit),
                          o.format),
         curve.provenance.source_files);
}

void thermal_command(const Io& io, const curves::Database& db, const Options& o) {
    const curves::SigmaUnit unit = take(curves::sigma_unit(o.units, "--units"));
    const auto fwhm = take(curves::fwhm_value(o.fwhm, "--fwhm"));
    const auto pairs = take(curves::temperature_pairs(
        take(curves::kelvin_values(numbers_of("--tv", o.tv), "--tv " + o.tv)),
        take(curves::kelvin_values(numbers_of("--tj", o.tj), "--tj " + o.tj))));
    const curves::Curve scan = take(db.scan(o.molecule, pairs, fwhm));
    warn_narrow_fold(io, fwhm, scan.energy);
    // The states that entered and how much of the population they hold at each pair.
    const curves::ThermalReport report = curves::thermal_report(scan);
    io.err << report.states << "\n";
    for (const curves::PairCoverage& pair : report.pairs)
        io.err << (pair.warning ? "warning: " + pair.text + "; the average leaves the rest out"
                                : pair.text)
               << "\n";
    std::string selector = db.molecule_code(o.molecule) + ":thermal:tv=" + o.tv + ",tj=" + o.tj;
    if (o.fwhm)
        selector += ",fwhm=" + std::to_string(*o.fwhm);
    emit(io, db, o.output, curves::rendered(curves::curve_table(scan, selector, unit), o.format),
         scan.provenance.source_files);
}

// The distribution, its abscissa and the region below the table, as the options give them.
curves::RateRequest rate_request(const curves::Database& db, const Options& o,
                                 const curves::CurveSelector& selector,
                                 std::vector<std::string>& inputs) {
    curves::RateRequest request;
    const curves::EedfChoice eedf = take(curves::parse_eedf(o.eedf, "--eedf " + o.eedf));
    check(curves::distribution_allowed(selector,
                                       eedf.shape == 1.0 && !eedf.file && o.mean_energy.empty()));
    request.distribution = eedf.name;
    request.shape = eedf.shape;
    if (o.below != "zero" && o.below != "wigner")
        usage("--below " + o.below + ": zero or wigner");
    request.below = o.below == "wigner" ? curves::BelowTable::wigner : curves::BelowTable::zero;
    request.mass_u = o.mass;
    check(curves::mass_value(o.mass, "--mass"));
    if (eedf.file) {
        // The file's columns are the rows of the table.
        if (!o.t_list.empty() || !o.mean_energy.empty())
            usage("--eedf " + o.eedf +
                  ": the file's columns are the distributions; leave out "
                  "--t and --mean-energy");
        request.tables = take(db.eedf_file(*eedf.file, eedf.columns));
        inputs.push_back(*eedf.file);
        return request;
    }
    if (o.t_list.empty() == o.mean_energy.empty())
        usage("give one of --t (K) and --mean-energy (eV)");
    if (!o.mean_energy.empty()) {
        request.abscissa = curves::RateAbscissa::mean_energy;
        request.values = numbers_of("--mean-energy", o.mean_energy);
        check(curves::mean_energies(request.values, "--mean-energy " + o.mean_energy));
    } else {
        request.values = numbers_of("--t", o.t_list);
        check(curves::rate_temperatures(request.values, "--t " + o.t_list));
    }
    return request;
}

// --units of a rate, and --fit arrhenius, which fits over temperatures only.
bool in_m3_per_s(const Options& o) {
    if (o.rate_units != "cm3/s" && o.rate_units != "m3/s")
        usage("--units " + o.rate_units + ": cm3/s or m3/s");
    return o.rate_units == "m3/s";
}
bool fit_wanted(const Options& o) {
    if (o.fit.empty())
        return false;
    if (o.fit != "arrhenius")
        usage("--fit " + o.fit + ": arrhenius");
    if (o.t_list.empty())
        usage("--fit takes --t");
    return true;
}

// The fit of `rows` into the table (a "#" line and the JSON's "fit"), or a warning that there
// is none. `pair` names the pair of a thermal gas's table.
void add_fit(curves::DataTable& table, std::string& warnings, std::string& json,
             std::span<const curves::RateRow> rows, bool m3_per_s,
             const std::optional<curves::TemperaturePair>& pair) {
    const curves::RateFit fit = curves::fit_rates(rows);
    if (!fit.fit) {
        warnings += "warning: ";
        if (pair)
            warnings += "Tv=" + std::to_string(pair->tv_k) +
                        " K, TJ=" + std::to_string(pair->tj_k) + " K: ";
        warnings += "fit: " + fit.missing + ": no fit\n";
        return;
    }
    table.provenance.push_back(curves::fit_line(*fit.fit, m3_per_s, pair));
    json += (json.empty() ? "" : ", ") + curves::fit_json(*fit.fit, m3_per_s, pair);
}

std::string warning_lines(const std::vector<std::string>& warnings) {
    std::string out;
    for (const std::string& warning : warnings)
        out += "warning: " + warning + "\n";
    return out;
}

void rate_command(const Io& io, const curves::Database& db, const Options& o) {
    const curves::CurveSelector selector = selector_of(db, o.selector);
    const bool m3_per_s = in_m3_per_s(o);
    const bool fit = fit_wanted(o);
    std::vector<std::string> inputs;
    const curves::RateRequest request = rate_request(db, o, selector, inputs);
    const curves::Curve curve = take(db.curve(selector));
    const curves::Rates rates = take(db.rate(curve, selector, request));
    std::string warnings = warning_lines(rates.warnings);
    curves::DataTable table =
        curves::rate_table(curve, curves::selector_text(selector), rates, m3_per_s);
    if (fit) {
        std::string json;
        add_fit(table, warnings, json, rates.rows, m3_per_s, std::nullopt);
        if (!json.empty())
            table.extra_json += ", \"fit\": " + json;
    }
    io.err << warnings;
    inputs.insert(inputs.end(), curve.provenance.source_files.begin(),
                  curve.provenance.source_files.end());
    emit(io, db, o.output, curves::rendered(table, o.format), inputs);
}

void rates_command(const Io& io, const curves::Database& db, const Options& o) {
    const bool m3_per_s = in_m3_per_s(o);
    const bool fit = fit_wanted(o);
    const auto pairs = take(curves::temperature_pairs(
        take(curves::kelvin_values(numbers_of("--tv", o.tv), "--tv " + o.tv)),
        take(curves::kelvin_values(numbers_of("--tj", o.tj), "--tj " + o.tj))));
    curves::CurveSelector thermal;
    thermal.molecule = db.molecule_code(o.molecule);
    thermal.kind = curves::ProcessKind::thermal;
    std::vector<std::string> inputs;
    const curves::RateRequest request = rate_request(db, o, thermal, inputs);
    const curves::ThermalRates rates = take(db.rates(o.molecule, pairs, request));
    // As the thermal command reports them: the states, and the population each pair holds.
    curves::Curve covered = rates.average;
    const curves::ThermalReport report = curves::thermal_report(covered);
    std::string messages = report.states + "\n";
    for (const curves::PairCoverage& pair : report.pairs)
        messages += (pair.warning ? "warning: " + pair.text + "; the average leaves the rest out"
                                  : pair.text) +
                    "\n";
    messages += warning_lines(rates.rates.warnings);
    const std::string selector = thermal.molecule + ":thermal:tv=" + o.tv + ",tj=" + o.tj;
    curves::DataTable table = curves::thermal_rates_table(rates, selector, m3_per_s);
    if (fit) {
        std::string json;
        for (std::size_t p = 0; p < rates.pairs.size(); ++p)
            add_fit(table, messages, json,
                    std::span(rates.rates.rows).subspan(p * rates.per_pair, rates.per_pair),
                    m3_per_s, rates.pairs[p]);
        table.extra_json += ", \"fit\": [" + json + "]";
    }
    io.err << messages;
    inputs.insert(inputs.end(), rates.average.provenance.source_files.begin(),
                  rates.average.provenance.source_files.end());
    emit(io, db, o.output, curves::rendered(table, o.format), inputs);
}

void export_command(const Io& io, const curves::Database& db, const Options& o) {
    const auto fwhm = take(curves::fwhm_value(o.fwhm, "--fwhm"));
    const curves::Database::LxcatSet set = take(db.lxcat_set(o.molecule, fwhm, o.as_tabulated));
    if (!set.blocks.empty())
        warn_narrow_fold(io, fwhm, set.blocks.front().energy_ev);
    std::string messages;
    for (const std::string& path : set.missing)
        messages += "warning: " + path + ": no such file; the state is left out\n";
    io.err << messages;
    if (set.blocks.empty())
        throw Stop{1, "no state of " + db.molecule_code(o.molecule) + " has a file to export"};
    std::ostringstream out;
    for (const curves::LxcatBlock& block : set.blocks)
        check(curves::write_lxcat_block(out, block));
    emit(io, db, o.output, out.str(), set.sources);
}

void plot_command(const Io& io, const curves::Database& db, const Options& o) {
    store::Figure figure;
    figure.view.unit = take(curves::sigma_unit(o.units, "--units"));
    figure.view.log_energy = o.logx;
    figure.view.log_sigma = o.logy;
    if (!o.range.empty()) {
        const auto colon = o.range.find(':');
        const auto lo = store::read_real_item(o.range.substr(0, colon));
        const auto hi =
            colon == std::string::npos ? lo : store::read_real_item(o.range.substr(colon + 1));
        if (colon == std::string::npos || !lo.ok() || !hi.ok() || !(lo.value < hi.value))
            usage("--range " + o.range + ": LO:HI with LO below HI, in eV");
        figure.range = std::pair{lo.value, hi.value};
    }
    if (!o.output.empty()) {
        const auto kind = store::figure_output_of(o.output);
        if (!kind)
            usage("-o " + o.output + ": a figure is written as .png, .pdf, .svg or .tex");
        figure.format.output = *kind;
    } else if (!display_available(io)) {
        throw Stop{1, "no display to show the figure on: write it to a file with -o"};
    }
    const double factor = curves::from_a2(figure.view.unit);
    std::vector<std::string> inputs{db.catalogue_path()};
    for (const std::string& text : o.selectors) {
        if (const auto outside = curves::parse_outside_selector(text)) {
            const bool lxcat = outside->kind == curves::OutsideSelector::Kind::lxcat;
            curves::OutsideCurve c = take(
                db.measured(outside->path, lxcat ? std::optional(outside->block) : std::nullopt,
                            figure.view.unit));
            for (double& s : c.sigma)
                s *= factor;
            figure.curves.push_back({c.label, std::move(c.energy), std::move(c.sigma)});
            // Measured points are drawn as marks (joined by a line when there are many).
            figure.curves.back().marks =
                store::measurement_marks(figure.curves.back().energy_ev.size());
            inputs.push_back(outside->path);
            continue;
        }
        const curves::CurveSelector selector = selector_of(db, text);
        curves::Curve curve = take(db.curve(selector));
        warn_narrow_fold(io, selector.fwhm_mev, curve.energy);
        inputs.insert(inputs.end(), curve.provenance.source_files.begin(),
                      curve.provenance.source_files.end());
        for (double& s : curve.sigma)
            s *= factor;
        figure.curves.push_back(
            {curves::curve_title(selector), std::move(curve.energy), std::move(curve.sigma)});
    }
    // A bare name is looked up on PATH alone; a relative path is taken from the current folder
    // now, not from the folder the figure is rendered in.
    std::string program = o.gnuplot.empty() ? std::string("gnuplot") : o.gnuplot;
    if (program.find_first_of("/\\") != std::string::npos &&
        !std::filesystem::path(program).is_absolute())
        program = (std::filesystem::path(io.current_directory) / program).string();
    if (figure.format.output == store::FigureOutput::window) {
        const std::string script = take(store::figure_script(figure));
        if (process::run_plotter_on_text("", program, script, false).status ==
            process::PlotterStatus::not_started)
            throw Stop{1, "gnuplot could not be started"};
        return;
    }
    // Never in place of what the figure shows.
    if (store::Status allowed = process::not_an_input(o.output, inputs); !allowed)
        stop(allowed.error());
    // Whole or not at all: rendered beside the output and moved into place.
    const store::Status written = process::render_figure_file(
        figure, o.output, [&](const std::string& directory, const std::string& text) {
            return process::run_plotter_on_text(directory, program, text, true);
        });
    if (!written)
        stop(written.error());
}

int check_command(const Io& io, const curves::Database& db, const Options& o) {
    const curves::CheckReport report = take(db.check(o.molecule));
    std::string out;
    for (const curves::Finding& f : report.findings)
        out += std::string(f.error ? "error" : "warning") + '\t' + f.file + '\t' +
               std::to_string(f.line) + '\t' + f.what + '\n';
    out += std::to_string(report.errors()) + " errors, " + std::to_string(report.warnings()) +
           " warnings in " + std::to_string(report.files) + " files of " +
           std::to_string(report.molecules) + " molecules\n";
    print(io, out);
    return report.errors() > 0 ? 1 : 0;
}

void states_command(const Io& io, const curves::Database& db, const Options& o) {
    std::string out = "molecule\tv\tJ_max\n";
    for (const curves::LevelRow& row : take(db.states(o.molecule)))
        out +=
            row.molecule + "\t" + std::to_string(row.v) + "\t" + std::to_string(row.j_max) + "\n";
    print(io, out);
}

} // namespace

int run(int argc, const char* const* argv, Io io) {
    CLI::App cli{"The curves of a Sigmat database as tables, temperature scans, rate coefficients, "
                 "LXCat blocks and figures, and a check of the database."};
    cli.set_version_flag("--version", "sigmat-cli " + std::string(curves::program_version()));
    Options o;
    cli.add_option("--db", o.db,
                   "The database directory (default: the one in your Sigmat.ini, else the "
                   "current directory)");
    cli.add_option("--threads", o.threads,
                   "Worker threads (default: all cores); results are the "
                   "same bit for bit whatever the number")
        ->check(CLI::Range(1u, 1024u));
    cli.require_subcommand(1, 1);

    const std::string selector_help =
        "A curve: MOL:dea:v=V,J=J, MOL:ve:v=V,J=J,vf=VF, MOL:aed:vf=VF,J=J, "
        "MOL:aedtot or MOL:thermal:tv=TV,tj=TJ, each optionally ending with ,fwhm=F (meV)";
    const auto units_option = [&](CLI::App* c) {
        c->add_option("--units", o.units, "Cross-section units: A2, cm2 or m2")
            ->capture_default_str();
    };
    const auto format_option = [&](CLI::App* c, std::vector<std::string> formats) {
        std::string names;
        for (std::size_t i = 0; i < formats.size(); ++i)
            names += (i == 0 ? "" : i + 1 == formats.size() ? " or " : ", ") + formats[i];
        c->add_option("--format", o.format, names)
            ->check(CLI::IsMember(formats))
            ->capture_default_str();
    };
    const auto output_option = [&](CLI::App* c) {
        c->add_option("-o", o.output, "Write to this file (whole or not at all)");
    };

    auto* states = cli.add_subcommand("states", "The molecules and states of the catalogue: "
                                                "one row per level, its highest J");
    states->add_option("MOL", o.molecule, "Only this molecule");

    auto* curve = cli.add_subcommand("curve", "One curve as a table, JSON or an LXCat block");
    curve->add_option("CURVE", o.selector, selector_help)->required();
    units_option(curve);
    format_option(curve, {"tsv", "csv", "lxcat", "json"});
    curve->add_flag("--as-tabulated", o.as_tabulated,
                    "lxcat: leave out the row of sigma = 0 that ends the block (solvers hold a "
                    "table's last value beyond its end)");
    output_option(curve);

    auto* thermal = cli.add_subcommand(
        "thermal", "DEA of a thermal gas at every Tv with every TJ (Tv outer), one column each; "
                   "the states used and the share of the population held on standard error");
    // A thermal gas: the molecule and every Tv with every TJ.
    const auto gas_options = [&](CLI::App* c) {
        c->add_option("MOL", o.molecule, "The molecule")->required();
        c->add_option("--tv", o.tv, "Vibrational temperatures (K): 300, 300,500 or FROM:TO:STEP")
            ->required();
        c->add_option("--tj", o.tj, "Rotational temperatures (K), as --tv")->required();
    };
    gas_options(thermal);
    thermal->add_option("--fwhm", o.fwhm, "Fold with this resolution (meV, 1 to 999)");
    units_option(thermal);
    format_option(thermal, {"tsv", "csv", "json"});
    output_option(thermal);

    const auto distribution_options = [&](CLI::App* c) {
        c->add_option("--t", o.t_list,
                      "Temperatures (K): 300, 300,1000 or FROM:TO:STEP; the electrons' (mean "
                      "energy 3/2 kB T), or the gas's for aed and aedtot");
        c->add_option("--mean-energy", o.mean_energy,
                      "Mean energies of the distribution (eV, 0.001 to 1000), as --t");
        c->add_option("--eedf", o.eedf,
                      "maxwell, druyvesteyn, shape=X (f ~ exp(-c (E/<E>)^X), X from 0.5 to 5), or "
                      "file:PATH[:COLUMNS] (energy in eV, then EEDFs in eV^-3/2; columns counted "
                      "among the numbers of a row, default 2, a list such as 2,4 gives several)")
            ->capture_default_str();
        c->add_option("--below", o.below,
                      "Below the table's first energy E1: zero, or wigner (sigma(E1) sqrt(E1/E), "
                      "the threshold law of s-wave attachment and of Langevin capture)")
            ->capture_default_str();
        c->add_option("--fit", o.fit,
                      "arrhenius: k = A (T/300 K)^b exp(-Ea/T) fitted to ln k over --t");
        c->add_option("--units", o.rate_units, "cm3/s or m3/s")->capture_default_str();
        format_option(c, {"tsv", "csv", "json"});
        output_option(c);
    };
    auto* rate = cli.add_subcommand(
        "rate", "Rate coefficients under an electron energy distribution (dea, ve, thermal), or "
                "Maxwellian at the gas temperature (aed, aedtot)");
    rate->add_option("CURVE", o.selector, selector_help)->required();
    distribution_options(rate);
    rate->add_option("--mass", o.mass,
                     "The colliding mass in u (default: the electron's, or the "
                     "reduced mass of the molecule's atoms for AED)");

    auto* rates = cli.add_subcommand(
        "rates", "DEA rates of a thermal gas at every Tv with every TJ (Tv outer) and every "
                 "temperature, mean energy or EEDF column: one row each, a long table");
    gas_options(rates);
    distribution_options(rates);

    auto* set = cli.add_subcommand(
        "export",
        "A molecule's whole set for a Boltzmann solver: every DEA state as ATTACHMENT and "
        "every VE into a higher level as EXCITATION, as LXCat blocks");
    set->add_option("MOL", o.molecule, "The molecule")->required();
    set->add_option("--format", o.format, "lxcat")->required()->check(CLI::IsMember({"lxcat"}));
    set->add_option("--fwhm", o.fwhm, "Fold with this resolution (meV, 1 to 999)");
    set->add_flag(
        "--as-tabulated", o.as_tabulated,
        "Leave out the row of sigma = 0 that ends each block (solvers hold a table's last "
        "value beyond its end)");
    output_option(set);

    auto* plot = cli.add_subcommand(
        "plot", "Curves in one figure: a window that does not block, or a file (.png, .pdf, "
                ".svg, or .tex with a .pdf beside it)");
    plot->add_option("CURVE", o.selectors,
                     selector_help + "; also file:PATH (two columns: eV and the chosen units) and "
                                     "lxcat:PATH[:N] (the N-th block of an LXCat file)")
        ->required();
    plot->add_flag("--logx", o.logx, "Logarithmic energy axis (points at E <= 0 are left out)");
    plot->add_flag("--logy", o.logy, "Logarithmic cross-section axis");
    plot->add_option("--range", o.range, "Energy range LO:HI (eV)");
    units_option(plot);
    plot->add_option("-o", o.output, "Write the figure to this file");
    plot->add_option("--gnuplot", o.gnuplot, "The gnuplot program (default: gnuplot on PATH)");

    auto* check = cli.add_subcommand("check", "Look the database over: errors and warnings, one "
                                              "per line, then a summary; exit 1 on an error");
    check->add_option("MOL", o.molecule, "Only this molecule");

    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = cli.exit(e, io.out, io.err);
        return rc == 0 ? 0 : 2;
    }
    try {
        if (o.db.empty())
            o.db = take(store::settings_database(
                            io.files, store::profile_folder(io.environment("USERPROFILE"),
                                                            io.environment("HOME"))))
                       .value_or(io.current_directory);
        const curves::Database db = take(curves::Database::open(io.files, o.db, o.threads));
        if (states->parsed())
            states_command(io, db, o);
        else if (curve->parsed())
            curve_command(io, db, o);
        else if (thermal->parsed())
            thermal_command(io, db, o);
        else if (rate->parsed())
            rate_command(io, db, o);
        else if (rates->parsed())
            rates_command(io, db, o);
        else if (set->parsed())
            export_command(io, db, o);
        else if (plot->parsed())
            plot_command(io, db, o);
        else if (check->parsed())
            return check_command(io, db, o);
    } catch (const Stop& s) {
        io.err << "sigmat-cli: " << s.why << "\n";
        return s.status;
    }
    return 0;
}

} // namespace sigmat::cli
