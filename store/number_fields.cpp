#include "store/number_fields.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace sigmat::store {
namespace {

std::string stars(int width) {
    return std::string(static_cast<std::size_t>(std::max(width, 0)), '*');
}

std::string pad_left(std::string text, int width) {
    if (static_cast<int>(text.size()) > width)
        return stars(width);
    return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

// Strict parse of a whole number: optional sign, then digits only.
std::optional<std::int64_t> parse_whole(std::string_view s) {
    if (s.empty())
        return std::nullopt;
    bool negative = false;
    if (s.front() == '+' || s.front() == '-') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s.size() > 18)
        return std::nullopt;
    std::int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return negative ? -v : v;
}

// Strict parse of a real number: optional sign, digits with an optional point and
// fraction (at least one digit in all), optional exponent introduced by E, e, D or d.
std::optional<double> parse_real(std::string_view s) {
    std::string text;
    text.reserve(s.size());
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        text.push_back(s[i++]);
    std::size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        text.push_back(s[i++]);
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        text.push_back(s[i++]);
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            text.push_back(s[i++]);
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        text.push_back('e');
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            text.push_back(s[i++]);
        std::size_t exp_digits = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            text.push_back(s[i++]);
            ++exp_digits;
        }
        if (exp_digits == 0)
            return std::nullopt;
    }
    if (i != s.size())
        return std::nullopt;
    const char* first = text.data();
    if (*first == '+')
        ++first;
    double value = 0.0;
    auto [ptr, ec] = std::from_chars(first, text.data() + text.size(), value);
    if (ptr != text.data() + text.size())
        return std::nullopt;
    if (ec == std::errc::result_out_of_range) {
        // Underflow (a negative exponent) reads as 0; overflow is not a number we can hold.
        std::size_t e = text.find('e');
        if (e == std::string::npos || text.find('-', e) == std::string::npos)
            return std::nullopt;
        return 0.0;
    }
    if (ec != std::errc())
        return std::nullopt;
    return value;
}

std::string without_blanks(std::string_view field) {
    std::string out;
    out.reserve(field.size());
    for (char c : field)
        if (!is_blank(c))
            out.push_back(c);
    return out;
}

std::string_view first_item(std::string_view text) {
    std::size_t b = 0;
    while (b < text.size() && is_blank(text[b]))
        ++b;
    std::size_t e = b;
    while (e < text.size() && !is_blank(text[e]) && text[e] != ',')
        ++e;
    return text.substr(b, e - b);
}

} // namespace

std::string format_i(std::int64_t value, int width) {
    return pad_left(std::to_string(value), width);
}

std::string format_i(std::int64_t value, int width, int min_digits) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (static_cast<int>(digits.size()) < min_digits)
        digits.insert(0, static_cast<std::size_t>(min_digits) - digits.size(), '0');
    if (value < 0)
        digits.insert(0, 1, '-');
    return pad_left(std::move(digits), width);
}

std::string format_f(double value, int width, int decimals) {
    if (!std::isfinite(value))
        return stars(width);
    char buf[512];
    int n = std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    if (n < 0 || n >= static_cast<int>(sizeof buf))
        return stars(width);
    std::string text(buf, static_cast<std::size_t>(n));
    if (static_cast<int>(text.size()) > width) {
        // The leading 0 of a magnitude below one is optional.
        if (text.rfind("0.", 0) == 0)
            text.erase(0, 1);
        else if (text.rfind("-0.", 0) == 0)
            text.erase(1, 1);
    }
    return pad_left(std::move(text), width);
}

std::string format_es(double value, int width, int decimals) {
    if (!std::isfinite(value))
        return stars(width);
    char buf[64];
    int n = std::snprintf(buf, sizeof buf, "%.*E", decimals, value);
    if (n < 0 || n >= static_cast<int>(sizeof buf))
        return stars(width);
    std::string text(buf, static_cast<std::size_t>(n));
    // The exponent has exactly two digits; one that needs three does not fit.
    std::size_t e = text.find('E');
    if (e == std::string::npos || text.size() - e != 4)
        return stars(width);
    return pad_left(std::move(text), width);
}

std::string format_bound(double value) {
    std::string text = format_f(value, 4, 2);
    if (text.find('*') == std::string::npos)
        return text;
    char buf[512];
    int n = std::snprintf(buf, sizeof buf, "%.2f", value);
    if (!std::isfinite(value) || n < 0 || n >= static_cast<int>(sizeof buf))
        return text;
    return std::string(buf, static_cast<std::size_t>(n));
}

std::string_view field_at(std::string_view line, std::size_t column, std::size_t width) {
    if (column >= line.size())
        return {};
    return line.substr(column, width);
}

std::optional<double> read_real_field(std::string_view field) {
    std::string s = without_blanks(field);
    if (s.empty())
        return 0.0;
    return parse_real(s);
}

std::optional<std::int32_t> read_int_field(std::string_view field) {
    std::string s = without_blanks(field);
    if (s.empty())
        return 0;
    auto v = parse_whole(s);
    if (!v || *v < std::numeric_limits<std::int32_t>::min() ||
        *v > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

ItemRead<std::int32_t> read_whole_item(std::string_view text) {
    std::string_view item = first_item(text);
    if (item.empty()) {
        // A text that starts with a comma has an empty first item: not a number.
        bool all_blank = text.find_first_not_of(" \t") == std::string_view::npos;
        return {all_blank ? ItemStatus::empty : ItemStatus::invalid, 0};
    }
    auto v = parse_whole(item);
    if (!v || *v < std::numeric_limits<std::int32_t>::min() ||
        *v > std::numeric_limits<std::int32_t>::max())
        return {ItemStatus::invalid, 0};
    return {ItemStatus::value, static_cast<std::int32_t>(*v)};
}

ItemRead<double> read_real_item(std::string_view text) {
    std::string_view item = first_item(text);
    if (item.empty()) {
        bool all_blank = text.find_first_not_of(" \t") == std::string_view::npos;
        return {all_blank ? ItemStatus::empty : ItemStatus::invalid, 0.0};
    }
    auto v = parse_real(item);
    if (!v)
        return {ItemStatus::invalid, 0.0};
    return {ItemStatus::value, *v};
}

std::string_view trim_right(std::string_view text) {
    std::size_t n = text.size();
    while (n > 0 && text[n - 1] == ' ')
        --n;
    return text.substr(0, n);
}

std::size_t trimmed_length(std::string_view text) {
    std::size_t n = trim_right(text).size();
    return n == 0 ? 1 : n;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace sigmat::store
