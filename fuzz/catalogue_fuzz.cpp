// The catalogue file index.dat: any text gives either a catalogue within the limits of the
// dialog's spins or nothing (the built-in catalogue is then used).
#include "fuzz_support.h"
#include "store/catalogue_file.h"

#include <cstdint>
#include <sstream>
#include <string>

using namespace sigmat;
using sigmat::fuzz::check;

namespace {

std::optional<store::StateCatalogue> read(const std::string& text) {
    std::istringstream in(text);
    return store::read_catalogue(in);
}

bool same(const store::StateCatalogue& a, const store::StateCatalogue& b) {
    return a.moleculeCount == b.moleculeCount && a.codes == b.codes && a.vibMax == b.vibMax &&
           a.rotMax == b.rotMax;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(fuzz::as_text(data, size));
    const auto c = read(text);
    if (c) {
        check(c->moleculeCount >= 1 && c->moleculeCount <= 99, "molecule count");
        const auto n = static_cast<std::size_t>(c->moleculeCount);
        check(c->codes.size() == n && c->vibMax.size() == n && c->rotMax.size() == n,
              "one entry per molecule");
        for (std::int32_t k = 1; k <= c->moleculeCount; ++k) {
            check(c->codes[static_cast<std::size_t>(k - 1)].size() == 3, "three-character code");
            check(c->vib_max(k) >= 0 && c->vib_max(k) <= store::highest_vib_level, "vib_max range");
            for (std::int32_t v = -1; v <= store::highest_vib_level + 1; ++v) {
                const auto j = c->rot_max(k, v);
                check(j >= 0 && j <= store::highest_rot_level, "rot_max range");
                if (v < 0 || v > store::highest_vib_level)
                    check(j == 0, "rot_max outside the levels");
            }
        }
        check(c->vib_max(0) == 0 && c->vib_max(c->moleculeCount + 1) == 0, "unknown molecule");
        check(c->rot_max(0, 0) == 0 && c->rot_max(c->moleculeCount + 1, 0) == 0,
              "unknown molecule");
    }

    // CRLF line ends read the same as LF ones.
    if (text.find('\r') == std::string::npos) {
        const auto crlf = read(fuzz::with_crlf(text));
        check(crlf.has_value() == c.has_value(), "CRLF: same outcome");
        if (c)
            check(same(*c, *crlf), "CRLF: same catalogue");
    }
    return 0;
}
