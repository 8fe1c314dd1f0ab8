// Line and cell handling shared by the text readers of curves/ (not a public interface).
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::curves::detail {

// Lines of a stream with their 1-based numbers; a CR before the LF is dropped, so files with
// CR LF line ends read as the same lines.
class LineReader {
  public:
    explicit LineReader(std::istream& in) : in_(in) {}
    bool next(std::string& line);
    std::int32_t number() const { return number_; }
    // The stream failed for another reason than its end.
    bool broken() const { return in_.bad(); }

  private:
    std::istream& in_;
    std::int32_t number_ = 0;
};

std::string_view trim(std::string_view s);

// The cells of a line split at runs of blanks and tabs.
std::vector<std::string_view> blank_separated(std::string_view line);
// The cells of a line split at its commas when it has any (each trimmed of blanks), else at
// runs of blanks and tabs.
std::vector<std::string_view> cells_of(std::string_view line);

// A whole cell as a real number in the C locale: optional sign, digits with an optional point,
// optional exponent; "inf" and "nan" are numbers here and left to the caller's finiteness test;
// a number below the range of a double is 0, one above it infinite.
std::optional<double> parse_real(std::string_view cell);

// The cell quoted for a message, cut to a readable length.
std::string quoted(std::string_view cell);

} // namespace sigmat::curves::detail
