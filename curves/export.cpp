#include "curves/export.h"

#include "curves/rate.h"
#include "store/text_escapes.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>

#ifndef SIGMAT_VERSION
#define SIGMAT_VERSION "0"
#endif

namespace sigmat::curves {
namespace {

// Ten significant digits, the shortest way to write them ("0.01", "1.23456789e-17").
void append_number(std::string& out, double value) {
    char buffer[32];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 10);
    out.append(buffer, ec == std::errc() ? end : buffer);
}

std::string table_number(double value) {
    std::string out;
    append_number(out, value);
    return out;
}

std::string temperatures_text(const TemperaturePair& t) {
    return "Tv=" + std::to_string(t.tv_k) + " K, TJ=" + std::to_string(t.tj_k) + " K";
}

// The atoms of a DEA product: the first atom neutral, the second as the anion.
std::string attachment_products(const std::string& molecule) {
    const auto atoms = split_molecule_code(molecule);
    if (atoms && atoms->size() == 2)
        return (*atoms)[0] + " + " + (*atoms)[1] + "-";
    return molecule + "-";
}

} // namespace

std::string_view program_version() {
    return SIGMAT_VERSION;
}

std::string json_string(std::string_view text) {
    return store::json_quoted(text);
}

std::string json_number(double value) {
    if (!std::isfinite(value))
        return "null";
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("null");
}

void append_delimited(std::string& out, const DataTable& table, char separator) {
    for (const std::string& line : table.provenance)
        out.append("# ").append(store::comment_text(line)).append("\n");
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
        if (c)
            out += separator;
        out += table.columns[c].name;
    }
    out += '\n';
    const std::size_t rows = table.columns.empty() ? 0 : table.columns[0].values.size();
    // At most 17 characters a number and its separator: the rows go straight into the text.
    out.reserve(out.size() + rows * table.columns.size() * 18);
    char buffer[32];
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < table.columns.size(); ++c) {
            char* at = buffer;
            if (c)
                *at++ = separator;
            at = std::to_chars(at, buffer + sizeof buffer, table.columns[c].values[r],
                               std::chars_format::general, 10)
                     .ptr;
            out.append(buffer, at);
        }
        out += '\n';
    }
}

void append_json(std::string& out, const DataTable& table) {
    char buffer[32];
    const auto array = [&](const std::vector<double>& values) {
        out.reserve(out.size() + values.size() * 26);
        out += '[';
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i)
                out += ", ";
            const double v = values[i];
            const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
            if (!std::isfinite(v) || ec != std::errc())
                out += "null";
            else
                out.append(buffer, end);
        }
        out += ']';
    };
    out += "{\"program\": \"sigmat\", \"version\": " + json_string(program_version()) + ", " +
           store::json_text_field("database", table.database) + ", " +
           store::json_text_field("selector", table.selector) + ", \"units\": {" +
           json_string(table.x_key) + ": " + json_string(table.x_unit) + ", " +
           json_string(table.y_key) + ": " + json_string(table.y_unit) +
           "}, \"provenance\": " + table.provenance_json + ", ";
    if (!table.columns.empty()) {
        out += json_string(table.x_array) + ": ";
        array(table.columns[0].values);
    }
    out += ", \"columns\": [";
    for (std::size_t c = 1; c < table.columns.size(); ++c) {
        out += (c > 1 ? ", " : "") + std::string("{\"name\": ") +
               json_string(table.columns[c].name) + ", \"values\": ";
        array(table.columns[c].values);
        out += '}';
    }
    out += "]";
    if (!table.extra_json.empty())
        out += ", " + table.extra_json;
    out += "}\n";
}

void write_delimited(std::ostream& out, const DataTable& table, char separator) {
    std::string text;
    append_delimited(text, table, separator);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void write_json(std::ostream& out, const DataTable& table) {
    std::string text;
    append_json(text, table);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::vector<std::string> provenance_lines(const Curve& curve, const std::string& selector) {
    const Provenance& p = curve.provenance;
    std::vector<std::string> lines = {"sigmat " + std::string(program_version()),
                                      "database: " + p.database};
    if (!selector.empty())
        lines.push_back("selector: " + selector);
    if (p.states.empty()) {
        for (const std::string& file : p.source_files)
            lines.push_back("source: " + file);
    } else {
        // An average draws on every state's file: named by the states, level by level.
        std::map<std::int32_t, std::int32_t> highest;
        for (const StateWeight& s : p.states)
            highest[s.v] = std::max(highest[s.v], s.j);
        std::string states;
        for (const auto& [v, j] : highest)
            states += (states.empty() ? "" : ", ") + std::string("v=") + std::to_string(v) +
                      " J=0.." + std::to_string(j);
        lines.push_back("sources: the DEA files of " + std::to_string(p.states.size()) +
                        " states, " + states);
        lines.push_back("first source: " + p.states.front().file);
    }
    lines.push_back("FWHM: " + (p.fwhm_mev ? std::to_string(*p.fwhm_mev) + " meV" : "none"));
    for (const TemperaturePair& t : p.temperatures)
        lines.push_back("temperatures: " + temperatures_text(t));
    if (p.threshold_ev)
        lines.push_back("threshold: " + table_number(*p.threshold_ev) + " eV");
    return lines;
}

std::string provenance_json(const Curve& curve, const std::string& selector) {
    const Provenance& p = curve.provenance;
    std::string out = "{" + store::json_text_field("database", p.database) + ", " +
                      store::json_text_field("selector", selector) + ", " +
                      store::json_texts_field("source_files", p.source_files);
    out += ", \"fwhm_meV\": " + (p.fwhm_mev ? std::to_string(*p.fwhm_mev) : std::string("null"));
    out += ", \"threshold_eV\": " + (p.threshold_ev ? json_number(*p.threshold_ev) : "null");
    out += ", \"temperatures\": [";
    for (std::size_t i = 0; i < p.temperatures.size(); ++i)
        out += std::string(i ? ", " : "") + "{\"Tv_K\": " + std::to_string(p.temperatures[i].tv_k) +
               ", \"TJ_K\": " + std::to_string(p.temperatures[i].tj_k) + "}";
    out += "], \"weight_totals\": [";
    for (std::size_t i = 0; i < p.weight_totals.size(); ++i)
        out += (i ? ", " : "") + json_number(p.weight_totals[i]);
    out += "], \"states\": [";
    for (std::size_t i = 0; i < p.states.size(); ++i) {
        const StateWeight& s = p.states[i];
        out += std::string(i ? ", " : "") + "{\"v\": " + std::to_string(s.v) +
               ", \"J\": " + std::to_string(s.j) +
               ", \"level_energy_eV\": " + json_number(s.level_energy_ev) + ", \"weights\": [";
        for (std::size_t k = 0; k < s.weights.size(); ++k)
            out += (k ? ", " : "") + json_number(s.weights[k]);
        out += "], " + store::json_text_field("file", s.file) + "}";
    }
    return out + "]}";
}

DataTable curve_table(const Curve& curve, const std::string& selector, SigmaUnit unit) {
    DataTable table;
    table.provenance = provenance_lines(curve, selector);
    table.provenance_json = provenance_json(curve, selector);
    table.database = curve.provenance.database;
    table.selector = selector;
    table.y_unit = std::string(unit_name(unit));
    table.columns.push_back({"E_eV", curve.energy});
    const double factor = from_a2(unit);
    const std::string name = "sigma_" + std::string(unit_name(unit));
    const auto& temperatures = curve.provenance.temperatures;
    for (std::size_t c = 0; c < curve.columns; ++c) {
        TableColumn column;
        column.name = name;
        if (curve.columns > 1 && c < temperatures.size())
            column.name += "_Tv" + std::to_string(temperatures[c].tv_k) + "_TJ" +
                           std::to_string(temperatures[c].tj_k);
        const double* values = curve.column(c);
        column.values.assign(values, values + curve.points());
        if (factor != 1.0)
            for (double& v : column.values)
                v *= factor;
        table.columns.push_back(std::move(column));
    }
    return table;
}

DataTable rate_table(const Curve& curve, const std::string& selector, const Rates& rates,
                     bool m3_per_s) {
    DataTable table;
    table.provenance = provenance_lines(curve, selector);
    const std::string below = rates.below == BelowTable::wigner
                                  ? "wigner (sigma(E1) sqrt(E1/E) below the first energy E1)"
                                  : "zero (sigma = 0 below the first energy)";
    table.provenance.push_back("distribution: " + rates.distribution);
    table.provenance.push_back("below the table: " + below);
    table.provenance.push_back("mass: " + table_number(rates.mass_u) + " u");
    table.provenance_json = provenance_json(curve, selector);
    table.extra_json =
        "\"rate\": {" + store::json_text_field("distribution", rates.distribution) +
        ", \"below\": " + json_string(rates.below == BelowTable::wigner ? "wigner" : "zero") +
        ", \"mass_u\": " + json_number(rates.mass_u) + "}";
    table.database = curve.provenance.database;
    table.selector = selector;
    table.y_key = "k";
    table.y_unit = m3_per_s ? "m3/s" : "cm3/s";
    TableColumn x, mean{"mean_energy_eV", {}}, k{m3_per_s ? "k_m3/s" : "k_cm3/s", {}};
    switch (rates.abscissa) {
    case RateAbscissa::temperature:
        x.name = "T_K";
        table.x_key = "T";
        table.x_unit = "K";
        break;
    case RateAbscissa::mean_energy:
        x.name = "mean_energy_eV";
        table.x_key = "mean_energy";
        table.x_unit = "eV";
        break;
    case RateAbscissa::column:
        x.name = "column";
        table.x_key = "mean_energy";
        table.x_unit = "eV";
        break;
    }
    table.x_array = x.name;
    for (const RateRow& row : rates.rows) {
        x.values.push_back(row.abscissa);
        mean.values.push_back(row.mean_energy_ev);
        k.values.push_back(m3_per_s ? cm3_s_to_m3_s(row.k_cm3_s) : row.k_cm3_s);
    }
    table.columns.push_back(std::move(x));
    if (rates.abscissa == RateAbscissa::column)
        table.columns.push_back(std::move(mean));
    table.columns.push_back(std::move(k));
    return table;
}

DataTable thermal_rates_table(const ThermalRates& rates, const std::string& selector,
                              bool m3_per_s) {
    // The pairs are the table's own columns: the provenance names the states and the files.
    Curve average = rates.average;
    average.provenance.temperatures.clear();
    DataTable table = rate_table(average, selector, rates.rates, m3_per_s);
    TableColumn tv{"Tv_K", {}}, tj{"TJ_K", {}};
    for (const TemperaturePair& pair : rates.pairs)
        for (std::size_t f = 0; f < rates.per_pair; ++f) {
            tv.values.push_back(pair.tv_k);
            tj.values.push_back(pair.tj_k);
        }
    table.columns.insert(table.columns.begin(), {std::move(tv), std::move(tj)});
    table.x_array = "Tv_K";
    return table;
}

namespace {

std::string g6(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6g", value);
    return buffer;
}

} // namespace

std::string fit_line(const numerics::ArrheniusFit& fit, bool m3_per_s,
                     const std::optional<TemperaturePair>& pair) {
    char deviation[32];
    std::snprintf(deviation, sizeof deviation, "%.3g", 100.0 * fit.max_deviation);
    std::string line = "fit: ";
    if (pair)
        line += "Tv = " + std::to_string(pair->tv_k) + " K, TJ = " + std::to_string(pair->tj_k) +
                " K, ";
    const double a = m3_per_s ? cm3_s_to_m3_s(fit.a) : fit.a;
    return line + "A = " + g6(a) + (m3_per_s ? " m3/s" : " cm3/s") + ", b = " + g6(fit.b) +
           ", Ea = " + g6(fit.ea_k) + " K, T = " + g6(fit.t_lo_k) + ".." + g6(fit.t_hi_k) +
           " K, max deviation = " + deviation + " %";
}

std::string fit_json(const numerics::ArrheniusFit& fit, bool m3_per_s,
                     const std::optional<TemperaturePair>& pair) {
    // A in the table's unit, which the "units" object names.
    const double a = m3_per_s ? cm3_s_to_m3_s(fit.a) : fit.a;
    std::string out = "{";
    if (pair)
        out += "\"Tv_K\": " + std::to_string(pair->tv_k) +
               ", \"TJ_K\": " + std::to_string(pair->tj_k) + ", ";
    return out + "\"A\": " + json_number(a) + ", \"b\": " + json_number(fit.b) +
           ", \"Ea_K\": " + json_number(fit.ea_k) + ", \"T_K\": [" + json_number(fit.t_lo_k) +
           ", " + json_number(fit.t_hi_k) +
           "], \"max_deviation\": " + json_number(fit.max_deviation) + "}";
}

std::string rendered(const DataTable& table, std::string_view format) {
    std::string out;
    if (format == "json")
        append_json(out, table);
    else
        append_delimited(out, table, format == "csv" ? ',' : '\t');
    return out;
}

std::int64_t newest_source(store::FileSystem& files, const Curve& curve) {
    std::int64_t newest = 0;
    for (const std::string& file : curve.provenance.source_files)
        newest = std::max(newest, files.stat(file).modified);
    return newest;
}

store::Result<LxcatBlock> lxcat_block(const Curve& curve, const CurveSelector& selector,
                                      const std::string& molecule, std::int64_t updated,
                                      bool as_tabulated) {
    LxcatBlock b;
    const std::string state =
        molecule + "(v=" + std::to_string(selector.v) + ",J=" + std::to_string(selector.j) + ")";
    std::string process_name;
    switch (selector.kind) {
    case ProcessKind::dea:
        b.kind = LxcatKind::attachment;
        b.process = state + " -> " + attachment_products(molecule);
        process_name = "Attachment";
        break;
    case ProcessKind::thermal:
        b.kind = LxcatKind::attachment;
        b.process = molecule + "(Tv=" + std::to_string(selector.temperatures.tv_k) +
                    "K,TJ=" + std::to_string(selector.temperatures.tj_k) + "K) -> " +
                    attachment_products(molecule);
        process_name = "Attachment";
        break;
    case ProcessKind::ve:
        if (selector.vf <= selector.v) {
            return store::data_error(
                {}, 0,
                "LXCat has no keyword for vibrational de-excitation or the elastic channel "
                "(VE into v' <= v); write it as tsv, csv or json");
        }
        if (!curve.provenance.threshold_ev) {
            return store::data_error({}, 0, "the VE file gives no threshold for this column");
        }
        b.kind = LxcatKind::excitation;
        b.process = state + " -> " + molecule + "(v=" + std::to_string(selector.vf) + ")";
        b.line3 = *curve.provenance.threshold_ev;
        process_name = "Excitation";
        break;
    case ProcessKind::aed:
    case ProcessKind::aed_total:
        return store::data_error(
            {}, 0,
            "LXCat has no keyword for associative detachment (an ion-atom collision); "
            "write it as tsv, csv or json");
    }
    b.species = "e / " + molecule;
    b.process_line = "E + " + b.process + ", " + process_name;
    std::string param = "E = " + (b.line3 ? table_number(*b.line3) : std::string("0")) + " eV";
    if (selector.fwhm_mev)
        param += ", FWHM = " + std::to_string(*selector.fwhm_mev) + " meV";
    b.param = param;
    // COMMENT lines are comment lines too: a line break in a folder's name is written \x0A.
    for (const std::string& line : provenance_lines(curve, selector_text(selector)))
        b.comments.push_back(store::comment_text(line));
    b.updated = format_updated_utc(static_cast<std::time_t>(updated));
    b.energy_ev = curve.energy;
    b.sigma_m2.reserve(curve.points() + 1);
    for (std::size_t i = 0; i < curve.points(); ++i)
        b.sigma_m2.push_back(curve.sigma[i] * m2_per_a2);
    const std::size_t n = curve.points();
    if (!as_tabulated && n >= 2) {
        b.energy_ev.push_back(curve.energy[n - 1] + (curve.energy[n - 1] - curve.energy[n - 2]));
        b.sigma_m2.push_back(0.0);
        b.comments.emplace_back(zero_row_comment);
    }
    return b;
}

} // namespace sigmat::curves
