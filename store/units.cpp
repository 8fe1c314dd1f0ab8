#include "store/units.h"

#include "store/number_fields.h"

namespace sigmat::store {

std::optional<SigmaUnit> parse_sigma_unit(std::string_view text) {
    const std::string u = to_lower(text);
    if (u == "a2")
        return SigmaUnit::a2;
    if (u == "cm2")
        return SigmaUnit::cm2;
    if (u == "m2")
        return SigmaUnit::m2;
    return std::nullopt;
}

std::string_view unit_name(SigmaUnit unit) {
    switch (unit) {
    case SigmaUnit::a2:
        return "A2";
    case SigmaUnit::cm2:
        return "cm2";
    case SigmaUnit::m2:
        return "m2";
    }
    return "A2";
}

double from_a2(SigmaUnit unit) {
    switch (unit) {
    case SigmaUnit::a2:
        return 1.0;
    case SigmaUnit::cm2:
        return 1e-16;
    case SigmaUnit::m2:
        return 1e-20;
    }
    return 1.0;
}

Result<SigmaUnit> sigma_unit(std::string_view text, std::string_view what) {
    if (const auto unit = parse_sigma_unit(text))
        return *unit;
    return usage_error(std::string(what) + " " + std::string(text) + ": A2, cm2 or m2");
}

} // namespace sigmat::store
