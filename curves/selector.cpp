#include "curves/selector.h"

#include "store/number_fields.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <map>

namespace sigmat::curves {
namespace {

std::vector<std::string_view> split(std::string_view text, char at) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t cut = text.find(at);
        parts.push_back(text.substr(0, cut));
        if (cut == std::string_view::npos)
            return parts;
        text.remove_prefix(cut + 1);
    }
}

std::optional<std::int32_t> whole(std::string_view text) {
    std::int32_t value = 0;
    const char* first = text.data();
    if (!text.empty() && text[0] == '+')
        ++first;
    const auto [end, ec] = std::from_chars(first, text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> real(std::string_view text) {
    const auto item = store::read_real_item(text);
    if (!item.ok() || text.find_first_of(" ,") != std::string_view::npos ||
        !std::isfinite(item.value))
        return std::nullopt;
    return item.value;
}

} // namespace

store::Result<CurveSelector> parse_curve_selector(std::string_view text) {
    const auto parts = split(text, ':');
    if (parts.size() < 2 || parts.size() > 3 || parts[0].empty()) {
        return store::usage_error("a curve is MOL:KIND[:KEY=VALUE,...], e.g. HCl:dea:v=0,J=3");
    }
    if (text.find_first_of(" \t") != std::string_view::npos) {
        return store::usage_error("a curve holds no blanks");
    }
    CurveSelector selector;
    selector.molecule = std::string(parts[0]);
    // "HCl:aedtot,fwhm=50": keys may follow the kind after a comma too.
    std::string_view kind_part = parts[1];
    std::string_view key_part = parts.size() == 3 ? parts[2] : std::string_view();
    if (const std::size_t comma = kind_part.find(','); comma != std::string_view::npos) {
        if (parts.size() == 3) {
            return store::usage_error("a curve is MOL:KIND[:KEY=VALUE,...], e.g. HCl:dea:v=0,J=3");
        }
        key_part = kind_part.substr(comma + 1);
        kind_part = kind_part.substr(0, comma);
    }
    const std::string kind = store::to_lower(kind_part);
    const std::map<std::string, ProcessKind> kinds = {{"dea", ProcessKind::dea},
                                                      {"ve", ProcessKind::ve},
                                                      {"aed", ProcessKind::aed},
                                                      {"aedtot", ProcessKind::aed_total},
                                                      {"thermal", ProcessKind::thermal}};
    const auto found = kinds.find(kind);
    if (found == kinds.end()) {
        return store::usage_error("the kind of curve is dea, ve, aed, aedtot or thermal, not " +
                                  std::string(kind_part));
    }
    selector.kind = found->second;
    std::map<std::string, std::int32_t> keys;
    if (!key_part.empty() || parts.size() == 3)
        for (std::string_view pair : split(key_part, ',')) {
            const std::size_t eq = pair.find('=');
            const std::string key = store::to_lower(pair.substr(0, eq));
            const auto value =
                eq == std::string_view::npos ? std::nullopt : whole(pair.substr(eq + 1));
            if (!value) {
                return store::usage_error("KEY=VALUE with a whole number expected, not " +
                                          std::string(pair));
            }
            if (!keys.emplace(key, *value).second) {
                return store::usage_error("the key " + key + " is given twice");
            }
        }
    // The keys each kind needs, then the optional fold.
    std::vector<std::string> needed;
    switch (selector.kind) {
    case ProcessKind::dea:
        needed = {"v", "j"};
        break;
    case ProcessKind::ve:
        needed = {"v", "j", "vf"};
        break;
    case ProcessKind::aed:
        needed = {"vf", "j"};
        break;
    case ProcessKind::aed_total:
        break;
    case ProcessKind::thermal:
        needed = {"tv", "tj"};
        break;
    }
    for (const std::string& key : needed) {
        const auto it = keys.find(key);
        if (it == keys.end()) {
            return store::usage_error("the curve needs " + std::string(key == "j" ? "J" : key) +
                                      "=");
        }
        if (key == "v")
            selector.v = it->second;
        else if (key == "j")
            selector.j = it->second;
        else if (key == "vf")
            selector.vf = it->second;
        else if (key == "tv")
            selector.temperatures.tv_k = it->second;
        else
            selector.temperatures.tj_k = it->second;
        keys.erase(it);
    }
    if (const auto it = keys.find("fwhm"); it != keys.end()) {
        selector.fwhm_mev = it->second;
        keys.erase(it);
    }
    if (!keys.empty()) {
        return store::usage_error("the curve takes no key " + keys.begin()->first);
    }
    // The ranges the dialog keeps to: two-digit states and columns, four-digit temperatures,
    // a three-digit FWHM.
    const bool states_ok =
        selector.v >= 0 && selector.v <= 99 && selector.j >= 0 && selector.j <= 99 &&
        selector.vf >= 0 &&
        selector.vf <= (selector.kind == ProcessKind::aed ? aed_final_highest : ve_final_highest);
    const bool temperatures_ok =
        selector.temperatures.tv_k >= 0 && selector.temperatures.tv_k <= temperature_highest_k &&
        selector.temperatures.tj_k >= 0 && selector.temperatures.tj_k <= temperature_highest_k;
    if (!states_ok) {
        return store::usage_error(
            "states are whole numbers from 0 to 99 (vf to 97 for VE, 96 for AED)");
    }
    if (!temperatures_ok) {
        return store::usage_error("temperatures are whole kelvins from 0 to 9999");
    }
    if (selector.fwhm_mev &&
        (*selector.fwhm_mev < fwhm_lowest_mev || *selector.fwhm_mev > fwhm_highest_mev)) {
        return store::usage_error("the FWHM is a whole number of meV from 1 to 999");
    }
    return selector;
}

std::string selector_text(const CurveSelector& selector) {
    std::string out = selector.molecule + ":";
    const auto n = [](std::int32_t x) { return std::to_string(x); };
    switch (selector.kind) {
    case ProcessKind::dea:
        out += "dea:v=" + n(selector.v) + ",J=" + n(selector.j);
        break;
    case ProcessKind::ve:
        out += "ve:v=" + n(selector.v) + ",J=" + n(selector.j) + ",vf=" + n(selector.vf);
        break;
    case ProcessKind::aed:
        out += "aed:vf=" + n(selector.vf) + ",J=" + n(selector.j);
        break;
    case ProcessKind::aed_total:
        out += "aedtot";
        break;
    case ProcessKind::thermal:
        out +=
            "thermal:tv=" + n(selector.temperatures.tv_k) + ",tj=" + n(selector.temperatures.tj_k);
        break;
    }
    if (selector.fwhm_mev)
        out += ",fwhm=" + n(*selector.fwhm_mev);
    return out;
}

std::optional<OutsideSelector> parse_outside_selector(std::string_view text) {
    OutsideSelector out;
    if (text.rfind("file:", 0) == 0 && text.size() > 5) {
        out.kind = OutsideSelector::Kind::file;
        out.path = std::string(text.substr(5));
        return out;
    }
    if (text.rfind("lxcat:", 0) != 0 || text.size() <= 6)
        return std::nullopt;
    out.kind = OutsideSelector::Kind::lxcat;
    std::string_view rest = text.substr(6);
    // A block number at the end: ":N" with N a whole number, of any sign and size (one out of
    // the file's range is refused by the reader, naming the range); a path may hold ':' of its
    // own.
    const std::size_t colon = rest.rfind(':');
    if (colon != std::string_view::npos && colon + 1 < rest.size()) {
        std::string_view digits = rest.substr(colon + 1);
        const bool negative = digits.front() == '-';
        if (negative || digits.front() == '+')
            digits.remove_prefix(1);
        if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos) {
            std::int64_t n = 0;
            for (const char d : digits)
                n = n > (INT64_MAX - 9) / 10 ? INT64_MAX : n * 10 + (d - '0');
            out.block = negative ? -n : n;
            rest = rest.substr(0, colon);
        }
    }
    if (rest.empty())
        return std::nullopt;
    out.path = std::string(rest);
    return out;
}

store::Result<std::vector<double>> parse_number_list(std::string_view text) {
    constexpr std::size_t most = 100'000;
    std::vector<double> values;
    const auto parts = split(text, ':');
    if (parts.size() == 3) {
        const auto from = real(parts[0]), to = real(parts[1]), step = real(parts[2]);
        if (!from || !to || !step || !(*step > 0.0)) {
            return store::usage_error("a range is FROM:TO:STEP with a positive step");
        }
        // Each value from its index, so that no rounding builds up; TO is included when a
        // value reaches it within a millionth of the step.
        for (std::size_t i = 0;; ++i) {
            const double x = *from + static_cast<double>(i) * *step;
            if (x > *to + 1e-6 * *step)
                break;
            if (values.size() == most) {
                return store::usage_error("a list holds at most 100000 values");
            }
            values.push_back(x);
        }
        if (values.empty()) {
            return store::usage_error("the range holds no value");
        }
    } else if (parts.size() == 1) {
        for (std::string_view item : split(text, ',')) {
            const auto x = real(item);
            if (!x) {
                return store::usage_error("not a number: " + std::string(item));
            }
            values.push_back(*x);
        }
    } else {
        return store::usage_error("a list is N, N,N,... or FROM:TO:STEP");
    }
    return values;
}

std::string curve_title(const CurveSelector& s) {
    const auto n = [](std::int32_t x) { return std::to_string(x); };
    std::string t = s.molecule + " ";
    switch (s.kind) {
    case ProcessKind::dea:
        t += "DEA v=" + n(s.v) + " J=" + n(s.j);
        break;
    case ProcessKind::ve:
        t += "VE v=" + n(s.v) + " J=" + n(s.j) + " -> v'=" + n(s.vf);
        break;
    case ProcessKind::aed:
        t += "AED -> v'=" + n(s.vf) + " J=" + n(s.j);
        break;
    case ProcessKind::aed_total:
        t += "AED total";
        break;
    case ProcessKind::thermal:
        t += "DEA Tv=" + n(s.temperatures.tv_k) + " K TJ=" + n(s.temperatures.tj_k) + " K";
        break;
    }
    if (s.fwhm_mev)
        t += ", FWHM " + n(*s.fwhm_mev) + " meV";
    return t;
}

store::Status rate_temperatures(std::span<const double> values, std::string_view what) {
    if (values.empty())
        return store::usage_error(std::string(what) + ": no temperature");
    for (const double t : values)
        if (!(t > 0.0 && t <= highest_rate_temperature_k))
            return store::usage_error(std::string(what) +
                                      ": temperatures above 0 K up to 1000000 K");
    return {};
}

store::Status mass_value(std::optional<double> mass, std::string_view what) {
    if (mass && !(*mass >= lowest_mass_u && *mass <= highest_mass_u))
        return store::usage_error(std::string(what) + ": a mass from 0.0001 to 10000 u");
    return {};
}

store::Status within_limits(std::size_t pairs, std::optional<std::size_t> cells) {
    if (pairs <= most_pairs && cells.value_or(0) <= most_cells)
        return {};
    const std::string counted =
        cells ? " pairs and " + std::to_string(*cells) + " cells" : " pairs";
    return store::usage_error("--tv \u00d7 --tj gives " + std::to_string(pairs) + counted +
                              ": at most " + std::to_string(most_pairs) + " pairs and " +
                              std::to_string(most_cells) + " cells per request");
}

store::Result<std::vector<std::int32_t>> kelvin_values(std::span<const double> values,
                                                       std::string_view what) {
    std::vector<std::int32_t> out;
    for (double t : values) {
        if (!(t == std::trunc(t) && t >= 0 && t <= temperature_highest_k))
            return store::usage_error(std::string(what) +
                                      ": temperatures are whole kelvins from 0 to 9999");
        out.push_back(static_cast<std::int32_t>(t));
    }
    if (out.empty())
        return store::usage_error(std::string(what) + ": no temperature");
    return out;
}

store::Result<std::vector<TemperaturePair>> temperature_pairs(std::span<const std::int32_t> tv,
                                                              std::span<const std::int32_t> tj) {
    if (store::Status fits = within_limits(tv.size() * tj.size(), std::nullopt); !fits)
        return std::move(fits).error();
    std::vector<TemperaturePair> pairs;
    pairs.reserve(tv.size() * tj.size());
    for (std::int32_t v : tv)
        for (std::int32_t j : tj)
            pairs.push_back({v, j});
    return pairs;
}

store::Result<std::optional<std::int32_t>> fwhm_value(std::optional<std::int32_t> fwhm,
                                                      std::string_view what) {
    if (fwhm && (*fwhm < fwhm_lowest_mev || *fwhm > fwhm_highest_mev))
        return store::usage_error(std::string(what) + ": a whole number of meV from 1 to 999");
    return fwhm;
}

} // namespace sigmat::curves
