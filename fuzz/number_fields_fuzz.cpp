// The number readers of the dialog's edits and of fixed-width fields, and the writers of the
// classic edit descriptors read back.
//
// Input: one control byte, then eight bytes of a double and eight of an integer for the
// writers; the whole input is also handed to the readers as text.
#include "fuzz_support.h"
#include "store/internal/es_layout.h"
#include "store/number_fields.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

using namespace sigmat;
using sigmat::fuzz::check;

namespace {

bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool all_blank(std::string_view text) {
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

void check_readers(std::string_view text) {
    const auto whole = store::read_whole_item(text);
    const auto real = store::read_real_item(text);
    check((whole.status == store::ItemStatus::empty) == all_blank(text),
          "whole item: empty exactly for an all-blank text");
    check((real.status == store::ItemStatus::empty) == all_blank(text),
          "real item: empty exactly for an all-blank text");
    if (real.ok())
        check(std::isfinite(real.value), "real item: a read value is finite");
    if (whole.ok()) {
        // Every whole number is a real number too, with the same value, and its decimal
        // spelling reads back to it.
        check(real.ok() && real.value == static_cast<double>(whole.value),
              "whole item reads as the same real item");
        const auto again = store::read_whole_item(std::to_string(whole.value));
        check(again.ok() && again.value == whole.value, "whole item round trip");
    }
    if (!whole.ok() && whole.status == store::ItemStatus::value)
        check(false, "status value but not ok");

    const auto ifield = store::read_int_field(text);
    const auto rfield = store::read_real_field(text);
    if (rfield)
        check(std::isfinite(*rfield), "real field: a read value is finite");
    if (ifield)
        check(rfield && *rfield == static_cast<double>(*ifield),
              "int field reads as the same real field");
    if (all_blank(text))
        check(ifield == 0 && rfield == 0.0, "an all-blank field is 0");

    // The data files' own ES10.4 reader gives exactly what the general field reader gives,
    // for the whole text and for every ten-character field of it.
    double fast = 0.0;
    if (store::read_es_layout(text, fast))
        check(rfield && same_bits(fast, *rfield), "ES10.4 reader agrees with the field reader");
    for (std::size_t at = 0; at + 10 <= text.size() && at < 200; at += 11) {
        const auto field = text.substr(at, 10);
        if (store::read_es_layout(field, fast)) {
            const auto general = store::read_real_field(field);
            check(general && same_bits(fast, *general),
                  "ES10.4 reader agrees with the field reader on a field");
        }
    }

    // Runs of fields read several at a time stop where the field-by-field reader first fails
    // and give its values bit for bit, at the VE pitch and the DEA row length, with the
    // wide path on and off; nothing past the text is read.
    for (const std::size_t stride : {std::size_t{11}, std::size_t{22}})
        for (const auto reading :
             {store::FieldReading::four_at_a_time, store::FieldReading::one_by_one}) {
            const std::size_t count = text.size() < 10 ? 0 : (text.size() - 10) / stride + 1;
            double runs[64];
            const std::size_t n = std::min<std::size_t>(count, 64);
            const std::size_t read = store::read_es_fields(
                text.data(), stride, n, text.data() + text.size(), runs, reading);
            std::size_t expected = 0;
            double one = 0.0;
            while (expected < n && store::read_es_unsigned(text.data() + expected * stride, one)) {
                check(same_bits(one, runs[expected]), "runs of fields: same value");
                ++expected;
            }
            check(read == expected, "runs of fields: stop at the same field");
        }

    // field_at never reaches past the line.
    const std::size_t column = text.size() / 2;
    const auto field = store::field_at(text, column, 10);
    check(field.size() <= 10, "field_at width");
    if (!field.empty())
        check(field.data() >= text.data() &&
                  field.data() + field.size() <= text.data() + text.size(),
              "field_at stays inside the line");
}

void check_writers(const std::uint8_t* data, std::size_t size) {
    fuzz::ByteReader in(data, size);
    const auto control = in.take<std::uint8_t>();
    const int width = 1 + control % 32;
    const int decimals = (control >> 5) * 3 % 21; // 0..18
    const double value = in.take<double>();
    const auto whole = in.take<std::int64_t>();

    // ESw.d: exactly w characters; when it fits, the number read back is the value rounded
    // to d + 1 significant digits.
    const std::string es = store::format_es(value, width, decimals);
    check(static_cast<int>(es.size()) == width, "format_es width");
    if (es.find('*') == std::string::npos) {
        check(std::isfinite(value), "format_es writes only finite values");
        const auto back = store::read_real_field(es);
        check(back.has_value(), "format_es output reads back");
        const double tolerance = 0.5 * std::pow(10.0, -decimals) * std::abs(value) * (1 + 1e-9) +
                                 std::numeric_limits<double>::denorm_min();
        check(std::abs(*back - value) <= tolerance + std::abs(value) * 1e-15,
              "format_es round trip");
    }

    // Every ES10.4 field that the writer makes is in the data files' own layout, and the fast
    // reader reads it exactly as the general one does.
    const std::string es10 = store::format_es(value, 10, 4);
    if (es10.find('*') == std::string::npos && es10.front() != ' ') {
        double fast = 0.0;
        const bool read = store::read_es_layout(es10, fast);
        const auto general = store::read_real_field(es10);
        check(general.has_value(), "an ES10.4 field reads back");
        if (read)
            check(same_bits(fast, *general), "ES10.4 reader agrees on a written field");
    }

    // Fw.d: exactly w characters; when it fits, read back within half a unit of the last
    // decimal.
    const std::string f = store::format_f(value, width, decimals);
    check(static_cast<int>(f.size()) == width, "format_f width");
    if (f.find('*') == std::string::npos) {
        const auto back = store::read_real_field(f);
        check(back.has_value(), "format_f output reads back");
        const double tolerance = 0.5 * std::pow(10.0, -decimals) * (1 + 1e-9);
        check(std::abs(*back - value) <= tolerance + std::abs(value) * 1e-15,
              "format_f round trip");
    }

    // The bound of an energy range: never asterisks for a finite value of sensible size.
    const std::string bound = store::format_bound(value);
    if (std::isfinite(value) && std::abs(value) < 1e15) {
        check(bound.find('*') == std::string::npos, "format_bound without asterisks");
        const auto back = store::read_real_field(bound);
        check(back && std::abs(*back - value) <= 0.005 * (1 + 1e-9) + std::abs(value) * 1e-15,
              "format_bound round trip");
    }

    // Iw and Iw.m: exactly w characters; when it fits, the digits read back.
    for (const std::string& i :
         {store::format_i(whole, width), store::format_i(whole, width, decimals)}) {
        check(static_cast<int>(i.size()) == width, "format_i width");
        if (i.find('*') == std::string::npos && whole >= std::numeric_limits<std::int32_t>::min() &&
            whole <= std::numeric_limits<std::int32_t>::max()) {
            const auto back = store::read_int_field(i);
            check(back && *back == whole, "format_i round trip");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check_readers(fuzz::as_text(data, size));
    check_writers(data, size);
    return 0;
}
