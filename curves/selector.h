// Curves named in one argument, as the command line and the Python module take them:
//
//   MOL:dea:v=V,J=J             DEA from (v, J)
//   MOL:ve:v=V,J=J,vf=VF        VE from (v, J) into v' = VF
//   MOL:aed:vf=VF,J=J           AED into (v', J)
//   MOL:aedtot                  total AED
//   MOL:thermal:tv=TV,tj=TJ     DEA averaged over (Tv, TJ), kelvins
//
// Any of them may end with ",fwhm=F" (meV, 1..999), the fold the dialog applies. Kinds and
// keys are read in any letter case; no blanks. Beside the database's curves, a figure takes a
// user's own: "file:PATH" (two columns) and "lxcat:PATH" or "lxcat:PATH:N" (the N-th block of
// an LXCat file).
//
// Lists of numbers: "300", "300,500,1000" or "FROM:TO:STEP" (TO included when reached).
#pragma once

#include "curves/curve.h"
#include "store/error.h"
#include "store/units.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::curves {

// A selector, or a usage error saying why the text is not one.
[[nodiscard]] store::Result<CurveSelector> parse_curve_selector(std::string_view text);

// The selector written back in its canonical form ("HCl:ve:v=0,J=3,vf=1,fwhm=50").
[[nodiscard]] std::string selector_text(const CurveSelector& selector);

// A figure's legend entry for the curve: "HCl DEA v=0 J=3", "HCl VE v=0 J=3 -> v'=1",
// "HCl AED -> v'=2 J=5", "HCl AED total", "HCl DEA Tv=300 K TJ=300 K", each with
// ", FWHM 50 meV" when folded.
[[nodiscard]] std::string curve_title(const CurveSelector& selector);

// A curve of the user's own for a figure.
struct OutsideSelector {
    enum class Kind { file, lxcat } kind = Kind::file;
    std::string path;
    std::int64_t block = 1; // lxcat: 1-based, as given (a reader refuses one out of range)
};
// "file:PATH" or "lxcat:PATH[:N]"; nothing for any other text.
[[nodiscard]] std::optional<OutsideSelector> parse_outside_selector(std::string_view text);

// A list of numbers as above. A range with a step that is not positive, or of more than
// 100 000 values, is refused (a usage error).
[[nodiscard]] store::Result<std::vector<double>> parse_number_list(std::string_view text);

// The limits of one request of the command line or Python: temperature pairs, and cells
// (values computed: pairs times energies of a scan, pairs times abscissa values of a rate
// table). A usage error when `pairs` pairs of `cells` cells exceed them; before the energies
// are known (cells empty) the error counts the pairs alone.
inline constexpr std::size_t most_pairs = 100'000;
inline constexpr std::size_t most_cells = 10'000'000;
[[nodiscard]] store::Status within_limits(std::size_t pairs, std::optional<std::size_t> cells);

// Temperatures of an average: whole kelvins from 0 to 9999; `what` names the argument in the
// usage error ("--tv", "tv").
[[nodiscard]] store::Result<std::vector<std::int32_t>> kelvin_values(std::span<const double> values,
                                                                     std::string_view what);
// Every Tv with every TJ, Tv outer; a usage error (within_limits) when there would be too many.
[[nodiscard]] store::Result<std::vector<TemperaturePair>>
temperature_pairs(std::span<const std::int32_t> tv, std::span<const std::int32_t> tj);
// Temperatures of a rate: above 0 up to 10^6 K; a mass: 10^-4 to 10^4 u. A usage error names
// the argument `what` and the range otherwise (and for anything that is not a finite number).
inline constexpr double highest_rate_temperature_k = 1e6;
inline constexpr double lowest_mass_u = 1e-4, highest_mass_u = 1e4;
[[nodiscard]] store::Status rate_temperatures(std::span<const double> values,
                                              std::string_view what);
[[nodiscard]] store::Status mass_value(std::optional<double> mass, std::string_view what);

// A FWHM given apart from a selector: a whole number of meV from 1 to 999.
[[nodiscard]] store::Result<std::optional<std::int32_t>>
fwhm_value(std::optional<std::int32_t> fwhm, std::string_view what);

// Cross-section units (store/units.h).
using store::from_a2;
using store::parse_sigma_unit;
using store::sigma_unit;
using store::SigmaUnit;
using store::unit_name;

} // namespace sigmat::curves
