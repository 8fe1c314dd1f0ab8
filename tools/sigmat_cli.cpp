// sigmat-cli: the curves of a Sigmat database as tables, temperature scans, rate
// coefficients, LXCat blocks and figures, and a check of the database itself.
//
//   sigmat-cli [--db DIR] [--threads N] COMMAND [OPTIONS]      (--help on every command)
//
// Exit status 0; 1 when the request cannot be served (a data error, a format that cannot
// carry the process, no display for a window; the reason on standard error, no output file);
// 2 for a usage error.
#include "app/plot_settings.h"
#include "app/settings_file.h"
#include "app/state_catalogue.h"
#include "curves/coverage.h"
#include "curves/database_check.h"
#include "curves/export.h"
#include "curves/figure.h"
#include "curves/lxcat.h"
#include "curves/measured.h"
#include "curves/rate.h"
#include "curves/selector.h"
#include "curves/state_curves.h"
#include "curves/thermal.h"
#include "platform/figure_file.h"
#include "platform/plotter_process.h"
#include "store/file_system.h"
#include "store/number_fields.h"
#include "store/paths.h"
#include "store/text_lines.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

using namespace sigmat;
namespace fs = std::filesystem;

// A request that cannot be served: the reason goes to standard error, the exit status is 1.
struct Failure {
    std::string why;
};
// A command line that does not say what it means: exit status 2.
struct Usage {
    std::string why;
};

store::FileSystem& files() {
    return store::real_file_system();
}

// The profile's Sigmat.ini, as the dialog finds it.
std::optional<std::string> settings_database() {
    const char* profile = std::getenv("USERPROFILE");
#ifndef _WIN32
    if (profile == nullptr)
        profile = std::getenv("HOME");
#endif
    if (profile == nullptr)
        return std::nullopt;
    const std::string ini = store::join_path(store::join_path(profile, app::settings_folder_name),
                                             app::settings_file_name);
    store::FileBytes bytes;
    if (files().read(ini, bytes) != store::ReadStatus::ok)
        return std::nullopt;
    std::istringstream in{std::string(bytes.text())};
    const app::SettingsValues values = app::read_settings(in, app::SettingsValues{});
    const std::string db = app::used_directory(values.databaseDir);
    if (store::trim_right(db).empty())
        return std::nullopt;
    return db;
}

std::string current_directory() {
    std::error_code ec;
    const auto here = fs::current_path(ec);
    return ec ? std::string(".") : here.string();
}

struct Context {
    std::string db;
    unsigned threads = 1;
    app::StateCatalogue catalogue;
    bool catalogue_file = false; // index.dat was there and read
    std::string catalogue_path;
};

Context open_database(const std::string& db_option, unsigned threads) {
    Context c;
    c.db = !db_option.empty() ? db_option : settings_database().value_or(current_directory());
    if (files().stat(c.db).kind != store::PathKind::directory)
        throw Failure{"the database directory " + c.db + " is not a folder"};
    c.threads = threads;
    c.catalogue_path = store::find_in_tree(files(), c.db, {"index.dat"});
    c.catalogue_file = files().stat(c.catalogue_path).kind == store::PathKind::regular;
    c.catalogue = app::load_catalogue(files(), c.catalogue_path);
    return c;
}

// The molecule as the catalogue spells it, whatever the letter case it was given in; as given
// when the catalogue does not hold it (the files are found whatever their case anyway).
std::string molecule_code(const Context& c, const std::string& given) {
    for (const std::string& code : c.catalogue.codes) {
        std::string trimmed(store::trim_right(code));
        if (store::equal_ignoring_case(trimmed, given))
            return trimmed;
    }
    return given;
}

curves::CurveSelector selector_of(const Context& c, const std::string& text) {
    curves::SelectorRead read = curves::parse_curve_selector(text);
    if (!read.selector)
        throw Usage{text + ": " + read.why};
    read.selector->molecule = molecule_code(c, read.selector->molecule);
    return *read.selector;
}

std::vector<double> numbers_of(const std::string& what, const std::string& text) {
    curves::NumberListRead read = curves::parse_number_list(text);
    if (!read.values)
        throw Usage{what + " " + text + ": " + read.why};
    return *read.values;
}

std::vector<std::int32_t> kelvins_of(const std::string& what, const std::string& text) {
    std::vector<std::int32_t> out;
    for (double t : numbers_of(what, text)) {
        if (t != std::trunc(t) || t < 0 || t > curves::temperature_highest_k) {
            std::string why = what;
            why += " ";
            why += text;
            why += ": temperatures are whole kelvins from 0 to 9999";
            throw Usage{why};
        }
        out.push_back(static_cast<std::int32_t>(t));
    }
    return out;
}

curves::SigmaUnit unit_of(const std::string& text) {
    const auto unit = curves::parse_sigma_unit(text);
    if (!unit)
        throw Usage{"--units " + text + ": A2, cm2 or m2"};
    return *unit;
}

curves::Curve compute(const Context& c, const curves::CurveSelector& selector) {
    store::Read<curves::Curve> read;
    if (selector.kind == curves::CurveKind::thermal)
        read = curves::thermal_curve(files(), c.db, selector.molecule, {&selector.temperatures, 1},
                                     selector.fwhm_mev, c.threads);
    else
        read = curves::state_curve(files(), c.db, selector);
    if (!read.ok)
        throw Failure{store::describe(read.error)};
    return std::move(read.value);
}

// Whether -o names something that a rename must not replace: a device (/dev/null), a FIFO
// or a symbolic link (/dev/stdout, a link to a file kept elsewhere). Those are written
// straight through, as a shell's redirection would.
bool written_through(const std::string& output) {
    std::error_code ec;
    const std::filesystem::file_status link = std::filesystem::symlink_status(output, ec);
    if (ec || !std::filesystem::exists(link))
        return false;
    return std::filesystem::is_symlink(link) ||
           (!std::filesystem::is_regular_file(link) && !std::filesystem::is_directory(link));
}

// The output: a new or regular file named by -o, written whole or not at all; a device, a
// FIFO or a link, written through; standard output without -o.
void emit(const std::string& output, const std::string& text) {
    if (output.empty()) {
        std::cout << text << std::flush;
        return;
    }
    if (written_through(output)) {
        std::ofstream out(std::filesystem::path(output), std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out)
            throw Failure{"cannot write " + output};
        return;
    }
    if (!files().write(output, text))
        throw Failure{"cannot write " + output};
}

std::string render(const curves::DataTable& table, const std::string& format) {
    std::ostringstream out;
    if (format == "tsv")
        curves::write_delimited(out, table, '\t');
    else if (format == "csv")
        curves::write_delimited(out, table, ',');
    else
        curves::write_json(out, table);
    return out.str();
}

// ---- commands --------------------------------------------------------------------------

void states_command(const Context& c, const std::string& molecule) {
    std::string out = "molecule\tv\tJ_max\n";
    bool any = false;
    for (std::size_t k = 0; k < c.catalogue.codes.size(); ++k) {
        const std::string code(store::trim_right(c.catalogue.codes[k]));
        if (!molecule.empty() && !store::equal_ignoring_case(code, molecule))
            continue;
        any = true;
        const auto index = static_cast<std::int32_t>(k + 1);
        for (std::int32_t v = 0; v <= c.catalogue.vib_max(index); ++v)
            out += code + "\t" + std::to_string(v) + "\t" +
                   std::to_string(c.catalogue.rot_max(index, v)) + "\n";
    }
    if (!any)
        throw Failure{"the catalogue lists no molecule " + molecule};
    std::cout << out << std::flush;
}

void curve_command(const Context& c, const std::string& selector_text, const std::string& units,
                   const std::string& format, const std::string& output) {
    const curves::CurveSelector selector = selector_of(c, selector_text);
    const curves::SigmaUnit unit = unit_of(units);
    const curves::Curve curve = compute(c, selector);
    if (format == "lxcat") {
        const curves::LxcatExport exported = curves::lxcat_block(
            curve, selector, selector.molecule, curves::newest_source(files(), curve));
        if (!exported.block)
            throw Failure{exported.why};
        std::ostringstream out;
        if (curves::write_lxcat_block(out, *exported.block) != curves::LxcatWriteOutcome::written)
            throw Failure{"the curve cannot be written as an LXCat block"};
        emit(output, out.str());
        return;
    }
    emit(output, render(curves::curve_table(curve, curves::selector_text(selector), unit), format));
}

// The states that entered an average and how much of the population they hold at each pair
// of temperatures.
void report_states(const curves::Curve& curve) {
    const curves::ThermalReport report = curves::thermal_report(curve);
    std::cerr << report.states << "\n";
    for (const curves::PairCoverage& pair : report.pairs) {
        if (pair.warning)
            std::cerr << "warning: " << pair.text << "; the average leaves the rest out\n";
        else
            std::cerr << pair.text << "\n";
    }
}

void thermal_command(const Context& c, const std::string& molecule_given, const std::string& tv,
                     const std::string& tj, std::optional<std::int32_t> fwhm,
                     const std::string& units, const std::string& format,
                     const std::string& output) {
    const std::string molecule = molecule_code(c, molecule_given);
    const curves::SigmaUnit unit = unit_of(units);
    if (fwhm && (*fwhm < curves::fwhm_lowest_mev || *fwhm > curves::fwhm_highest_mev))
        throw Usage{"--fwhm: a whole number of meV from 1 to 999"};
    std::vector<curves::TemperaturePair> pairs;
    for (std::int32_t v : kelvins_of("--tv", tv))
        for (std::int32_t j : kelvins_of("--tj", tj))
            pairs.push_back({v, j});
    auto read = curves::thermal_curve(files(), c.db, molecule, pairs, fwhm, c.threads);
    if (!read.ok)
        throw Failure{store::describe(read.error)};
    report_states(read.value);
    std::string selector = molecule + ":thermal:tv=" + tv + ",tj=" + tj;
    if (fwhm)
        selector += ",fwhm=" + std::to_string(*fwhm);
    emit(output, render(curves::curve_table(read.value, selector, unit), format));
}

void rate_command(const Context& c, const std::string& selector_text, const std::string& t_list,
                  std::optional<double> mass, const std::string& units, const std::string& format,
                  const std::string& output) {
    const curves::CurveSelector selector = selector_of(c, selector_text);
    if (units != "cm3/s" && units != "m3/s")
        throw Usage{"--units " + units + ": cm3/s or m3/s"};
    std::vector<double> temperatures = numbers_of("--t", t_list);
    for (double t : temperatures)
        if (!(t > 0.0))
            throw Usage{"--t " + t_list + ": temperatures above 0 K"};
    if (mass && !(*mass > 0.0))
        throw Usage{"--mass: a mass above 0 u"};
    // Electrons hit the molecules in DEA and VE; in AED the anion meets the atom.
    const bool heavy =
        selector.kind == curves::CurveKind::aed || selector.kind == curves::CurveKind::aed_total;
    double m = curves::electron_mass_u;
    if (mass)
        m = *mass;
    else if (heavy) {
        const auto reduced = curves::reduced_mass_u(selector.molecule);
        if (!reduced)
            throw Failure{"the reduced mass of " + selector.molecule +
                          " is not known: give --mass"};
        m = *reduced;
    }
    const curves::Curve curve = compute(c, selector);
    const auto rates = curves::maxwellian_rates(curve.energy, curve.sigma, temperatures, m);
    if (!rates)
        throw Failure{"the curve's table cannot be integrated (energies below 0 or not rising)"};
    const bool m3 = units == "m3/s";
    curves::DataTable table;
    table.provenance = curves::provenance_lines(curve, curves::selector_text(selector));
    table.provenance.push_back("mass: " + std::to_string(m) + " u");
    table.provenance_json = curves::provenance_json(curve, curves::selector_text(selector));
    table.database = c.db;
    table.selector = curves::selector_text(selector);
    table.x_array = "T_K";
    table.x_key = "T";
    table.x_unit = "K";
    table.y_key = "k";
    table.y_unit = units;
    curves::TableColumn t{"T_K", {}}, k{m3 ? "k_m3/s" : "k_cm3/s", {}};
    const double top = curve.energy.empty() ? 0.0 : curve.energy.back();
    for (const curves::RatePoint& p : *rates) {
        t.values.push_back(p.temperature_k);
        k.values.push_back(m3 ? curves::cm3_s_to_m3_s(p.k_cm3_s) : p.k_cm3_s);
        if (p.tail > curves::tail_warning_threshold)
            std::cerr << "warning: T=" << p.temperature_k << " K: the table ends at " << top
                      << " eV, where a share " << p.tail
                      << " of the rate's integrand lies above it\n";
    }
    table.columns = {std::move(t), std::move(k)};
    emit(output, render(table, format));
}

curves::FigureCurve outside_curve(const curves::OutsideSelector& o, curves::SigmaUnit unit) {
    store::FileBytes bytes;
    if (files().read(o.path, bytes) != store::ReadStatus::ok)
        throw Failure{o.path + ": cannot be read"};
    std::istringstream in{std::string(bytes.text())};
    const std::string name = fs::path(o.path).filename().string();
    if (o.kind == curves::OutsideSelector::Kind::file) {
        const curves::MeasuredRead read = curves::read_measured_curve(in, o.path);
        if (!read.ok)
            throw Failure{store::describe(read.error)};
        return {name, read.curve.energy_ev, read.curve.sigma};
    }
    const curves::LxcatRead read = curves::read_lxcat(in, o.path);
    if (!read.ok)
        throw Failure{store::describe(read.error)};
    if (static_cast<std::size_t>(o.block) > read.blocks.size())
        throw Failure{o.path + ": the file holds " + std::to_string(read.blocks.size()) +
                      " LXCat blocks, not " + std::to_string(o.block)};
    const curves::LxcatBlock& b = read.blocks[static_cast<std::size_t>(o.block - 1)];
    curves::FigureCurve curve{b.process.empty() ? name : b.process, b.energy_ev, {}};
    const double factor = curves::from_a2(unit) / curves::m2_per_a2;
    for (double s : b.sigma_m2)
        curve.sigma.push_back(s * factor);
    return curve;
}

bool display_available() {
#ifdef _WIN32
    return true;
#else
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* v = std::getenv(name);
        if (v != nullptr && *v != '\0')
            return true;
    }
    return false;
#endif
}

void plot_command(const Context& c, const std::vector<std::string>& selectors, bool logx, bool logy,
                  const std::string& range, const std::string& units, const std::string& output,
                  const std::string& gnuplot) {
    curves::Figure figure;
    figure.unit = unit_of(units);
    figure.logx = logx;
    figure.logy = logy;
    if (!range.empty()) {
        const auto colon = range.find(':');
        const auto lo = store::read_real_item(range.substr(0, colon));
        const auto hi =
            colon == std::string::npos ? lo : store::read_real_item(range.substr(colon + 1));
        if (colon == std::string::npos || !lo.ok() || !hi.ok() || !(lo.value < hi.value))
            throw Usage{"--range " + range + ": LO:HI with LO below HI, in eV"};
        figure.range = std::pair{lo.value, hi.value};
    }
    if (!output.empty()) {
        const auto kind = curves::figure_output_of(output);
        if (!kind)
            throw Usage{"-o " + output + ": a figure is written as .png, .pdf, .svg or .tex"};
        figure.output = *kind;
    } else if (!display_available()) {
        throw Failure{"no display to show the figure on: write it to a file with -o"};
    }
    for (const std::string& text : selectors) {
        if (const auto outside = curves::parse_outside_selector(text)) {
            figure.curves.push_back(outside_curve(*outside, figure.unit));
            continue;
        }
        const curves::CurveSelector selector = selector_of(c, text);
        curves::Curve curve = compute(c, selector);
        const double factor = curves::from_a2(figure.unit);
        for (double& s : curve.sigma)
            s *= factor;
        figure.curves.push_back(
            {curves::curve_title(selector), std::move(curve.energy), std::move(curve.sigma)});
    }
    const std::string program = gnuplot.empty() ? std::string("gnuplot") : gnuplot;
    if (figure.output == curves::FigureOutput::window) {
        const curves::FigureScript script = curves::figure_script(figure);
        if (!script.text)
            throw Failure{script.why};
        const auto started = platform::run_plotter_on_text("", program, *script.text, false);
        if (started.status == platform::PlotterStatus::not_started)
            throw Failure{"gnuplot could not be started"};
        return;
    }
    // Whole or not at all: rendered beside the output and moved into place.
    const platform::FigureFileResult written = platform::render_figure_file(
        figure, output, [&](const std::string& directory, const std::string& text) {
            return platform::run_plotter_on_text(directory, program, text, true);
        });
    if (!written.ok)
        throw Failure{written.why};
}

int check_command(const Context& c, const std::string& molecule) {
    std::vector<curves::ListedMolecule> listed;
    for (std::size_t k = 0; k < c.catalogue.codes.size(); ++k) {
        const std::string code(store::trim_right(c.catalogue.codes[k]));
        if (!molecule.empty() && !store::equal_ignoring_case(code, molecule))
            continue;
        curves::ListedMolecule m{code, {}};
        const auto index = static_cast<std::int32_t>(k + 1);
        if (c.catalogue_file)
            for (std::int32_t v = 0; v <= c.catalogue.vib_max(index); ++v)
                m.j_max.push_back(c.catalogue.rot_max(index, v));
        // Without index.dat, the built-in molecules that have a folder.
        if (c.catalogue_file || files().stat(store::find_in_tree(files(), c.db, {code})).kind ==
                                    store::PathKind::directory)
            listed.push_back(std::move(m));
    }
    if (listed.empty() && !molecule.empty())
        throw Failure{"the catalogue lists no molecule " + molecule};
    curves::CheckReport report = curves::check_database(files(), c.db, listed, "index.dat");
    if (!c.catalogue_file)
        report.findings.insert(report.findings.begin(),
                               {true, c.catalogue_path, 0,
                                "missing or malformed: the built-in list of eleven molecules "
                                "stands in"});
    for (const curves::Finding& f : report.findings)
        std::cout << (f.error ? "error" : "warning") << '\t' << f.file << '\t' << f.line << '\t'
                  << f.what << '\n';
    std::cout << report.errors() << " errors, " << report.warnings() << " warnings in "
              << report.files << " files of " << report.molecules << " molecules\n"
              << std::flush;
    return report.errors() > 0 ? 1 : 0;
}

} // namespace

int run(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    CLI::App cli{"The curves of a Sigmat database as tables, temperature scans, rate coefficients, "
                 "LXCat blocks and figures, and a check of the database."};
    cli.set_version_flag("--version", "sigmat-cli " + std::string(curves::program_version()));
    std::string db;
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    cli.add_option("--db", db,
                   "The database directory (default: the one in your Sigmat.ini, else the "
                   "current directory)");
    cli.add_option("--threads", threads,
                   "Worker threads (default: all cores); results are the "
                   "same bit for bit whatever the number")
        ->check(CLI::Range(1u, 1024u));
    cli.require_subcommand(1, 1);

    const char* selector_help =
        "A curve: MOL:dea:v=V,J=J, MOL:ve:v=V,J=J,vf=VF, MOL:aed:vf=VF,J=J, "
        "MOL:aedtot or MOL:thermal:tv=TV,tj=TJ, each optionally ending "
        "with ,fwhm=F (meV)";
    std::string molecule, selector, units = "A2", format = "tsv", output, tv, tj, t_list, range,
                                    rate_units = "cm3/s", gnuplot;
    std::optional<std::int32_t> fwhm;
    std::optional<double> mass;
    std::vector<std::string> selectors;
    bool logx = false, logy = false;

    auto* states = cli.add_subcommand("states", "The molecules and states of the catalogue: "
                                                "one row per level, its highest J");
    states->add_option("MOL", molecule, "Only this molecule");

    auto* curve = cli.add_subcommand("curve", "One curve as a table, JSON or an LXCat block");
    curve->add_option("CURVE", selector, selector_help)->required();
    curve->add_option("--units", units, "Cross-section units: A2, cm2 or m2")
        ->capture_default_str();
    curve->add_option("--format", format, "tsv, csv, lxcat or json")
        ->check(CLI::IsMember({"tsv", "csv", "lxcat", "json"}))
        ->capture_default_str();
    curve->add_option("-o", output, "Write to this file (whole or not at all)");

    auto* thermal = cli.add_subcommand(
        "thermal", "DEA of a thermal gas at every Tv with every TJ (Tv outer), one column each; "
                   "the states used and the share of the population held on standard error");
    thermal->add_option("MOL", molecule, "The molecule")->required();
    thermal->add_option("--tv", tv, "Vibrational temperatures (K): 300, 300,500 or FROM:TO:STEP")
        ->required();
    thermal->add_option("--tj", tj, "Rotational temperatures (K), as --tv")->required();
    thermal->add_option("--fwhm", fwhm, "Fold with this resolution (meV, 1 to 999)");
    thermal->add_option("--units", units, "Cross-section units: A2, cm2 or m2")
        ->capture_default_str();
    thermal->add_option("--format", format, "tsv, csv or json")
        ->check(CLI::IsMember({"tsv", "csv", "json"}))
        ->capture_default_str();
    thermal->add_option("-o", output, "Write to this file (whole or not at all)");

    auto* rate = cli.add_subcommand(
        "rate", "Maxwellian rate coefficients: electron temperature for dea, ve and thermal, gas "
                "temperature for aed and aedtot");
    rate->add_option("CURVE", selector, selector_help)->required();
    rate->add_option("--t", t_list, "Temperatures (K): 300, 300,1000 or FROM:TO:STEP")->required();
    rate->add_option("--mass", mass,
                     "The colliding mass in u (default: the electron's, or the "
                     "reduced mass of the molecule's atoms for AED)");
    rate->add_option("--units", rate_units, "cm3/s or m3/s")->capture_default_str();
    rate->add_option("--format", format, "tsv, csv or json")
        ->check(CLI::IsMember({"tsv", "csv", "json"}))
        ->capture_default_str();
    rate->add_option("-o", output, "Write to this file (whole or not at all)");

    auto* plot = cli.add_subcommand(
        "plot", "Curves in one figure: a window that does not block, or a file (.png, .pdf, "
                ".svg, or .tex with a .pdf beside it)");
    plot->add_option("CURVE", selectors,
                     std::string(selector_help) +
                         "; also file:PATH (two columns: eV and the chosen units) and "
                         "lxcat:PATH[:N] (the N-th block of an LXCat file)")
        ->required();
    plot->add_flag("--logx", logx, "Logarithmic energy axis (points at E <= 0 are left out)");
    plot->add_flag("--logy", logy, "Logarithmic cross-section axis");
    plot->add_option("--range", range, "Energy range LO:HI (eV)");
    plot->add_option("--units", units, "Cross-section units: A2, cm2 or m2")->capture_default_str();
    plot->add_option("-o", output, "Write the figure to this file");
    plot->add_option("--gnuplot", gnuplot, "The gnuplot program (default: gnuplot on PATH)");

    auto* check = cli.add_subcommand("check", "Look the database over: errors and warnings, one "
                                              "per line, then a summary; exit 1 on an error");
    check->add_option("MOL", molecule, "Only this molecule");

    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = cli.exit(e);
        return rc == 0 ? 0 : 2;
    }
    try {
        const Context c = open_database(db, threads);
        if (states->parsed())
            states_command(c, molecule);
        else if (curve->parsed())
            curve_command(c, selector, units, format, output);
        else if (thermal->parsed())
            thermal_command(c, molecule, tv, tj, fwhm, units, format, output);
        else if (rate->parsed())
            rate_command(c, selector, t_list, mass, rate_units, format, output);
        else if (plot->parsed())
            plot_command(c, selectors, logx, logy, range, units, output, gnuplot);
        else if (check->parsed())
            return check_command(c, molecule);
    } catch (const Usage& u) {
        std::cerr << "sigmat-cli: " << u.why << "\n";
        return 2;
    } catch (const Failure& f) {
        std::cerr << "sigmat-cli: " << f.why << "\n";
        return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    platform::ignore_file_size_signal();
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        // Nothing the commands do throws past them; this is the last guard (memory, say).
        std::cerr << "sigmat-cli: " << e.what() << "\n";
        return 1;
    }
}
