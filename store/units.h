// Cross-section units of tables, figures and scripts. The database's numbers are in A^2.
#pragma once

#include "store/error.h"

#include <optional>
#include <string_view>

namespace sigmat::store {

enum class SigmaUnit { a2, cm2, m2 };

// "A2", "cm2" or "m2", in any letter case; nothing for any other text.
[[nodiscard]] std::optional<SigmaUnit> parse_sigma_unit(std::string_view text);
// The same, or a usage error naming the argument `what`.
[[nodiscard]] Result<SigmaUnit> sigma_unit(std::string_view text, std::string_view what);
// "A2", "cm2", "m2".
[[nodiscard]] std::string_view unit_name(SigmaUnit unit);
// A^2 times this is the value in `unit`.
[[nodiscard]] double from_a2(SigmaUnit unit);

} // namespace sigmat::store
