// sigmat-cli's whole command line on a small database in memory: the argument parsing, the
// requests it leads to, and the provenance lines that every table carries.
//
// Input: fields separated by NUL bytes. The first is the name of the database folder (any
// bytes: a name with line breaks or bytes that are not UTF-8 must not forge a table); the rest
// are the arguments. Invariants: the program ends with 0, 1 or 2; every comment line of a
// table, on standard output or in an -o file, holds no control character; a JSON document is
// one that a strict parser accepts (valid UTF-8, no raw control characters).
#include "curves/demo_database.h"
#include "fuzz_support.h"
#include "store/memory_file_system.h"
#include "tools/sigmat_cli.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace sigmat;
using sigmat::fuzz::check;

namespace {

// The demo's HCl, cut to the levels v = 0, 1 and J = 0, 1 (all processes), and its catalogue
// line for each: small enough to write anew for every input.
const std::map<std::string, std::string>& small_database() {
    static const std::map<std::string, std::string> files = [] {
        std::map<std::string, std::string> kept;
        const auto keep = [&](std::vector<std::string> parts, std::string_view text) {
            if (parts.front() != "HCl")
                return store::Status{};
            const std::string& name = parts.back();
            const bool small_state = name.find("J00") != std::string::npos ||
                                     name.find("J01") != std::string::npos || name == "adTot.dat";
            const bool small_level = parts.size() < 4 || parts[2] == "nu00" || parts[2] == "nu01";
            if (!small_state || !small_level)
                return store::Status{};
            std::string path;
            for (const std::string& part : parts)
                path += "/" + part;
            kept[path] = std::string(text);
            return store::Status{};
        };
        check(curves::write_demo_database(keep).ok(), "the demo database is written");
        kept["/index.dat"] = " 1  molecule\nHCl, nu =  0: J_max =  1\nHCl, nu =  1: J_max =  1\n"
                             "###\n";
        return kept;
    }();
    return files;
}

bool is_control(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}

// An LXCat block: below its keyword, its process and (excitation) its threshold, every line
// of the header is "KEY: value" up to the dashes, and none holds a control character.
void check_lxcat(std::string_view text) {
    std::size_t start = 0;
    for (int index = 0; start < text.size(); ++index) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(start, end - start);
        if (line.starts_with("-----"))
            return;
        for (char c : line)
            check(!is_control(static_cast<unsigned char>(c)),
                  "an LXCat line holds no control character");
        const bool threshold = index == 2 && text.starts_with("EXCITATION");
        if (index >= 2 && !threshold) {
            const std::size_t colon = line.find(':');
            bool keyed = colon != std::string_view::npos && colon > 0;
            for (std::size_t i = 0; keyed && i < colon; ++i)
                keyed = std::isupper(static_cast<unsigned char>(line[i])) || line[i] == '.';
            check(keyed, "every header line of an LXCat block is KEY: value");
        }
        start = end + 1;
    }
}

// A table (it begins "# sigmat"): its comment lines come first and hold no control
// character, the header follows (it names its columns, so it holds a letter), and the rows
// after it hold no comment and no control character but the separator. A line break that a
// name carried into a comment would leave a line that breaks one of these. A JSON document
// parses strictly.
void check_output(const std::string& text) {
    if (text.empty())
        return;
    if (text.front() == '{' || text.front() == '[') {
        check(nlohmann::json::accept(text), "the JSON is valid");
        return;
    }
    if (text.starts_with("ATTACHMENT\n") || text.starts_with("EXCITATION\n")) {
        check_lxcat(text);
        return;
    }
    if (!text.starts_with("# sigmat"))
        return;
    enum { comments, header, rows } part = comments;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line(text.data() + start, end - start);
        if (part == comments && !line.starts_with('#'))
            part = header;
        for (char c : line)
            check(!is_control(static_cast<unsigned char>(c)) || (part != comments && c == '\t'),
                  "a line of a table holds no control character but its separator");
        if (part == header) {
            bool named = false;
            for (char c : line)
                named = named || std::isalpha(static_cast<unsigned char>(c)) || c == '_';
            check(named, "the header follows the comment lines");
            part = rows;
        } else if (part == rows) {
            check(!line.starts_with('#'), "no comment among the rows");
        }
        start = end + 1;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> fields(1);
    for (char c : fuzz::as_text(data, size)) {
        if (c == '\0')
            fields.emplace_back();
        else
            fields.back().push_back(c);
    }
    if (fields.size() > 24)
        return 0;
    // A program named by the input would run: gnuplot is looked up on PATH alone, which the
    // environment here does not have, and --gnuplot is left out.
    for (const std::string& field : fields)
        if (field.rfind("--gn", 0) == 0)
            return 0;

    std::string db = fields.front();
    for (char& c : db)
        if (c == '/')
            c = '_';
    db = "/" + (db.empty() ? std::string("db") : db);
    store::MemoryFileSystem files;
    for (const auto& [path, text] : small_database())
        files.add_file(db + path, text);
    const std::vector<std::string> before = files.files();

    std::vector<std::string> args{"sigmat-cli", "--db", db};
    args.insert(args.end(), fields.begin() + 1, fields.end());
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int status =
        cli::run(static_cast<int>(argv.size()), argv.data(),
                 {files, out, err, [](const char*) { return std::optional<std::string>(); }, "/"});
    check(status == 0 || status == 1 || status == 2, "exit status 0, 1 or 2");
    check_output(out.str());
    for (const std::string& path : files.files())
        if (path.rfind(db + "/", 0) != 0)
            check_output(*files.file(path));
    return 0;
}
