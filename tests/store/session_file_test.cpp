#include "store/session_file.h"
#include "store/text_escapes.h"

#include <gtest/gtest.h>

namespace sigmat::store {
namespace {

TEST(JsonText, BytesThatAreNotUtf8KeepTheirHexadecimal) {
    struct Case {
        const char* what;
        std::string bytes, text; // text: what the key holds
    } const cases[] = {
        {"plain", "beam.txt", "beam.txt"},
        {"two-byte letters", "\xc3\x85ngstr\xc3\xb6m", "\xc3\x85ngstr\xc3\xb6m"},
        {"four bytes", "\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80"},
        {"a Latin-1 byte", "m\xe9sure", "m\xef\xbf\xbdsure"},
        {"an overlong slash", "\xc0\xaf", "\xef\xbf\xbd\xef\xbf\xbd"},
        {"a surrogate", "\xed\xa0\x80", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
        {"above U+10FFFF", "\xf4\x90\x80\x80x",
         "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbdx"},
        {"cut at the end", "a\xe2\x82", "a\xef\xbf\xbd\xef\xbf\xbd"},
    };
    for (const Case& c : cases) {
        const std::vector<JsonTextField> fields = json_text_fields("path", c.bytes);
        ASSERT_FALSE(fields.empty()) << c.what;
        EXPECT_EQ(fields[0].key, "path") << c.what;
        EXPECT_EQ(fields[0].value, c.text) << c.what;
        if (c.text == c.bytes) {
            EXPECT_EQ(fields.size(), 1u) << c.what;
            continue;
        }
        ASSERT_EQ(fields.size(), 2u) << c.what;
        EXPECT_EQ(fields[1].key, "path_bytes_hex") << c.what;
        EXPECT_EQ(bytes_of_hex(fields[1].value), c.bytes) << c.what;
    }
    EXPECT_EQ(hex_of_bytes("\x01\xab"), "01ab");
    EXPECT_EQ(bytes_of_hex("01AB"), std::string("\x01\xab"));
    for (const char* bad : {"0", "0g", "zz"})
        EXPECT_FALSE(bytes_of_hex(bad)) << bad;
}

Session full_session() {
    Session s;
    const auto curve = [](std::string selector, std::string database, std::string label) {
        SessionCurve c;
        c.selector = std::move(selector);
        c.database = std::move(database);
        c.label = std::move(label);
        return c;
    };
    const auto file = [](std::string path, std::optional<std::int32_t> block, SigmaUnit units,
                         std::optional<std::int32_t> fwhm, std::string label) {
        SessionCurve c;
        c.kind = SessionCurve::Kind::file;
        c.path = std::move(path);
        c.block = block;
        c.units = units;
        c.fwhm_mev = fwhm;
        c.label = std::move(label);
        return c;
    };
    const SessionCurve dea =
        curve("HCl:dea:v=0,J=3,fwhm=50", "/db/\xe9", "mine: \"DEA\" \xce\xbd=0");
    const SessionCurve beam =
        file("/data/m\xe9sures/beam.txt", {}, SigmaUnit::cm2, 50, "beam \xff");
    const SessionCurve block =
        file("/data/hcl.lxcat", 3, SigmaUnit::a2, {}, "HCl(v=0) -> HCl(v=1)");
    s.comparison = {dea, beam, block};
    s.view = {true, false, SigmaUnit::m2};
    s.folders = {"/figures", "/data/m\xe9sures", ""};
    return s;
}

TEST(SessionFile, WrittenAndReadBackWhole) {
    const Session s = full_session();
    const std::string text = write_session(s);
    const Result<Session> read = read_session(text, "session.json");
    ASSERT_TRUE(read) << describe(read.error());
    EXPECT_EQ(*read, s);
    // A reader without Sigmat sees valid UTF-8 and the exact bytes beside it.
    EXPECT_NE(text.find("\"path\": \"/data/m\xef\xbf\xbdsures/beam.txt\""), std::string::npos)
        << text;
    EXPECT_NE(text.find("\"path_bytes_hex\": \"" + hex_of_bytes("/data/m\xe9sures/beam.txt")),
              std::string::npos);
    EXPECT_NE(text.find("\"block\": null"), std::string::npos);
    EXPECT_EQ(write_session(*read), text);
    // An empty session, and the parts a file may leave out.
    EXPECT_EQ(*read_session(write_session({}), "s"), Session{});
    EXPECT_EQ(*read_session("{\"version\": 1, \"other\": [1]}", "s"), Session{});
}

TEST(SessionFile, AnythingElseIsUnreadableAsAWhole) {
    const std::string whole = write_session(full_session());
    const std::string cases[] = {
        "",
        "Sigmat",
        whole.substr(0, whole.size() / 2),
        "[]",
        "{\"comparison\": []}",
        "{\"version\": 2}",
        "{\"version\": 1, \"comparison\": {}}",
        "{\"version\": 1, \"comparison\": [{\"kind\": \"table\", \"label\": \"x\"}]}",
        "{\"version\": 1, \"comparison\": [{\"kind\": \"curve\"}]}",
        "{\"version\": 1, \"comparison\": [{\"kind\": \"file\", \"path\": \"a\", \"block\": 0}]}",
        "{\"version\": 1, \"comparison\": [{\"kind\": \"file\", \"path\": \"a\", \"units\": "
        "\"b\"}]}",
        "{\"version\": 1, \"view\": {\"logx\": 1}}",
        "{\"version\": 1, \"folders\": {\"data\": \"x\", \"data_bytes_hex\": \"7\"}}",
        "{\"version\": 1, \"folders\": {\"data\": 7}}",
    };
    for (const std::string& text : cases) {
        const Result<Session> read = read_session(text, "/home/u/Sigmat/session.json");
        ASSERT_FALSE(read) << text;
        EXPECT_EQ(read.error().path, "/home/u/Sigmat/session.json");
        EXPECT_EQ(read.error().message.rfind("not a session file: ", 0), 0u) << text;
    }
}

} // namespace
} // namespace sigmat::store
