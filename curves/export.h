// Curves and rate coefficients as the files other programs read: tables (tab- or
// comma-separated, every cell written, one header row, provenance in "#" lines), JSON, and
// LXCat blocks.
//
//   # sigmat 0.2                        provenance, one "#" line each
//   # database: /data/xs
//   E_eV<TAB>sigma_A2                   one header row
//   0.001<TAB>0                         one row per energy, every cell written
//
// Numbers in tables have ten significant digits; in JSON as many as the double needs to be
// read back exactly.
#pragma once

#include "curves/curve.h"
#include "curves/lxcat.h"
#include "curves/rate.h"
#include "curves/rate_request.h"
#include "curves/selector.h"
#include "store/file_system.h"

#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::curves {

// The version of the program that writes the files.
[[nodiscard]] std::string_view program_version();

struct TableColumn {
    std::string name;
    std::vector<double> values;
};

// A table: its first column holds the energies (or temperatures), the others the values.
struct DataTable {
    std::vector<std::string> provenance; // the text of the "#" lines
    std::vector<TableColumn> columns;
    // JSON: the name of the first column's unit and of the values' unit, e.g. ("energy", "eV")
    // and ("sigma", "A2"), or ("T", "K") and ("k", "cm3/s").
    std::string x_array = "energy"; // the key of the first column's array in JSON
    std::string x_key = "energy", x_unit = "eV";
    std::string y_key = "sigma", y_unit = "A2";
    std::string database, selector;
    // The provenance as a JSON object (its text, "{...}").
    std::string provenance_json = "{}";
    // More members of the JSON object, as text ("\"fit\": {...}"), written last; none when empty.
    std::string extra_json;
};

// `separator` is '\t' (tsv) or ',' (csv). The "#" lines write each control character of their
// text as \xNN (store/text_escapes.h), so that no name from outside can start a line.
void write_delimited(std::ostream& out, const DataTable& table, char separator);
void append_delimited(std::string& out, const DataTable& table, char separator);
// {"program": "sigmat", "version": ..., "database": ..., "selector": ..., "units": {...},
//  "provenance": {...}, "<x>": [...], "columns": [{"name": ..., "values": [...]}, ...]}
// Texts that are not valid UTF-8 (a path's bytes) are written with U+FFFD in their JSON string
// and their exact bytes in a sibling "KEY_bytes_hex" (store::json_text_field).
void write_json(std::ostream& out, const DataTable& table);
void append_json(std::string& out, const DataTable& table);

// A text as a JSON string, quotes included.
[[nodiscard]] std::string json_string(std::string_view text);
// A finite number as JSON, exactly.
[[nodiscard]] std::string json_number(double value);

// The provenance of a curve as "#" lines and as a JSON object.
[[nodiscard]] std::vector<std::string> provenance_lines(const Curve& curve,
                                                        const std::string& selector);
[[nodiscard]] std::string provenance_json(const Curve& curve, const std::string& selector);

// A curve as a table: the energies and one column per curve column, in `unit`; the column
// names "sigma_A2" or, for a scan, "sigma_A2_Tv300_TJ300".
[[nodiscard]] DataTable curve_table(const Curve& curve, const std::string& selector,
                                    SigmaUnit unit);

// Rate coefficients as a table: "T_K" or "mean_energy_eV", or "column" then
// "mean_energy_eV", then "k_cm3/s" (or "k_m3/s"); the curve's provenance, the distribution,
// the region below the table and the mass in the "#" lines and in the JSON's "rate" object.
[[nodiscard]] DataTable rate_table(const Curve& curve, const std::string& selector,
                                   const Rates& rates, bool m3_per_s);

// The DEA rates of a thermal gas as one long table: "Tv_K", "TJ_K", then the abscissa as in
// rate_table ("T_K", "mean_energy_eV", or "column" and "mean_energy_eV"), then "k_cm3/s"; one
// row per pair and abscissa value, Tv outer, then TJ, then the abscissa.
[[nodiscard]] DataTable thermal_rates_table(const ThermalRates& rates, const std::string& selector,
                                            bool m3_per_s);

// An Arrhenius fit as a "#" line of its table, "fit: A = 1.234e-10 cm3/s, b = 0.5, Ea =
// 1234.5 K, T = 300..3000 K, max deviation = 2.1 %" (with "Tv = 300 K, TJ = 300 K, " after
// "fit: " for a pair of a thermal gas), and as a JSON object {"A", "b", "Ea_K", "T_K": [lo,
// hi], "max_deviation"} (with "Tv_K", "TJ_K" first for a pair). The fit is of k in cm3/s; A
// is written in the table's unit, cm3/s or m3/s; max_deviation is a fraction.
[[nodiscard]] std::string fit_line(const numerics::ArrheniusFit& fit, bool m3_per_s,
                                   const std::optional<TemperaturePair>& pair = std::nullopt);
[[nodiscard]] std::string fit_json(const numerics::ArrheniusFit& fit, bool m3_per_s,
                                   const std::optional<TemperaturePair>& pair = std::nullopt);

// The table as text: "tsv", "csv" or "json".
[[nodiscard]] std::string rendered(const DataTable& table, std::string_view format);

// The LXCat block of a curve (DEA and thermal as ATTACHMENT, VE into a higher v as
// EXCITATION with the file's threshold); a data error for the processes the format has no
// keyword for (AED, VE into the same or a lower v). `molecule` is the code as
// the catalogue spells it; `updated` the newest modification of the curve's source files
// (newest_source).
//
// Boltzmann solvers hold a table's last value beyond its last energy. Unless `as_tabulated`,
// the block therefore ends with one more row, sigma = 0 at the last energy plus the width of
// the last interval, and a COMMENT line says so (zero_row_comment); a table of one point has
// no interval and stays as it is.
inline constexpr std::string_view zero_row_comment =
    "the table ends with a zero: beyond its last energy the cross section is not known";
[[nodiscard]] store::Result<LxcatBlock>
lxcat_block(const Curve& curve, const CurveSelector& selector, const std::string& molecule,
            std::int64_t updated, bool as_tabulated = false);

// The newest modification of a curve's source files, seconds since 1970 (UTC).
[[nodiscard]] std::int64_t newest_source(store::FileSystem& files, const Curve& curve);

} // namespace sigmat::curves
