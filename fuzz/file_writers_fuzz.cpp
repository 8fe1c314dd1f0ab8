// The writers of the database's layouts (the four data files and index.dat): what a writer
// writes reads back, and writing what was read gives the same bytes again.
//
// Input: one byte choosing the layout, then raw numbers (doubles, counts) and the bytes of the
// comment texts, taken from the front as the content needs them.
#include "fuzz_support.h"
#include "store/catalogue_file.h"
#include "store/data_files.h"

#include <cstdint>
#include <sstream>
#include <string>

using namespace sigmat;
using sigmat::fuzz::check;

namespace {

// A comment text of the input's bytes, without the line breaks that would end it.
std::string comment(fuzz::ByteReader& in) {
    std::string text;
    const auto length = in.take<std::uint8_t>() % 24;
    for (std::uint8_t i = 0; i < length; ++i) {
        const char c = static_cast<char>(in.take<std::uint8_t>());
        text += c == '\n' || c == '\r' ? ' ' : c;
    }
    return text;
}

void data_file(fuzz::ByteReader& in, std::uint8_t choice) {
    store::DataFileContent c;
    const store::ProcessKind kinds[] = {store::ProcessKind::dea, store::ProcessKind::ve,
                                        store::ProcessKind::aed, store::ProcessKind::aed_total};
    c.kind = kinds[choice % 4];
    c.max_energy_ev = in.take<double>();
    c.resolution_mev = in.take<std::int16_t>();
    c.state_energy_ev = in.take<double>();
    const auto columns = in.take<std::uint8_t>() % 20;
    if (c.columns() != 1)
        for (int k = 0; k < columns; ++k)
            c.thresholds.push_back(in.take<double>());
    for (int k = in.take<std::uint8_t>() % 9; k > 0; --k)
        c.comments.push_back(comment(in));
    for (int r = in.take<std::uint8_t>() % 40; r > 0; --r) {
        c.energies.push_back(in.take<double>());
        for (std::size_t k = 0; k < c.columns(); ++k)
            c.values.push_back(in.take<double>());
    }
    const std::string written = store::write_data_file(c);
    const auto read = store::read_data_file(written, c.kind, "fuzz.dat");
    // Numbers that do not fit their fields are asterisks, which no reader takes back: a header
    // line of them is refused, and the rows end at the first row holding them.
    if (!read || read->energies.size() != c.energies.size())
        return;
    check(read->comments.size() <= std::max<std::size_t>(c.comments.size(), 9),
          "no more comment lines than the header has");
    check(store::write_data_file(*read) == written, "written, read, written again: same bytes");
}

void catalogue(fuzz::ByteReader& in) {
    store::StateCatalogue c;
    for (int k = 1 + in.take<std::uint8_t>() % 12; k > 0; --k) {
        // A code's line begins the block; one that begins "#" would read as the block's marker.
        std::string code = comment(in).substr(0, 3);
        code.resize(3, 'X');
        if (code[0] == '#')
            code[0] = 'X';
        c.codes.push_back(code);
        const std::int32_t levels = in.take<std::uint8_t>() % (store::highest_vib_level + 1);
        c.vibMax.push_back(levels);
        std::array<std::int32_t, store::highest_vib_level + 1> rot{};
        for (std::int32_t v = 0; v <= levels; ++v)
            rot[static_cast<std::size_t>(v)] = in.take<std::uint8_t>() % 100;
        c.rotMax.push_back(rot);
    }
    c.moleculeCount = static_cast<std::int32_t>(c.codes.size());
    const std::string written = store::write_catalogue(c, "fuzz");
    std::istringstream text(written);
    const auto read = store::read_catalogue(text);
    // A code that could leave the database's folders makes the whole file malformed.
    if (!read)
        return;
    check(read->codes == c.codes && read->vibMax == c.vibMax, "codes and levels read back");
    check(store::write_catalogue(*read, "fuzz") == written, "written, read, written again");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::ByteReader in(data, size);
    const auto choice = in.take<std::uint8_t>();
    if (choice % 5 == 4)
        catalogue(in);
    else
        data_file(in, choice);
    return 0;
}
