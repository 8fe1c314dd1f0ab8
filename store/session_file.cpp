#include "store/session_file.h"

#include "store/text_escapes.h"

#include <nlohmann/json.hpp>

namespace sigmat::store {
namespace {

using nlohmann::json;

void put_text(nlohmann::ordered_json& object, std::string_view key, std::string_view bytes) {
    for (const JsonTextField& field : json_text_fields(key, bytes))
        object[field.key] = field.value;
}

// Why a text is not a session file, when it is not.
struct Reader {
    std::string why;

    bool fail(std::string text) {
        if (why.empty())
            why = std::move(text);
        return false;
    }

    // A text field: its exact bytes when the file gives them, else its text; "" when missing.
    bool text(const json& object, const std::string& key, std::string& out) {
        const auto it = object.find(key);
        if (it == object.end())
            return true;
        if (!it->is_string())
            return fail("\"" + key + "\" is not a text");
        out = it->get<std::string>();
        const auto hex = object.find(key + std::string(bytes_hex_suffix));
        if (hex == object.end())
            return true;
        const auto bytes = hex->is_string() ? bytes_of_hex(hex->get<std::string>()) : std::nullopt;
        if (!bytes)
            return fail("\"" + key + std::string(bytes_hex_suffix) + "\" is not hexadecimal");
        out = *bytes;
        return true;
    }

    bool flag(const json& object, const char* key, bool& out) {
        const auto it = object.find(key);
        if (it == object.end())
            return true;
        if (!it->is_boolean())
            return fail(std::string("\"") + key + "\" is not true or false");
        out = it->get<bool>();
        return true;
    }

    bool units(const json& object, SigmaUnit& out) {
        const auto it = object.find("units");
        if (it == object.end())
            return true;
        const auto unit = it->is_string() ? parse_sigma_unit(it->get<std::string>()) : std::nullopt;
        if (!unit)
            return fail("\"units\" is not A2, cm2 or m2");
        out = *unit;
        return true;
    }

    // A whole number from 1 up, or null.
    bool count(const json& object, const char* key, std::optional<std::int32_t>& out) {
        const auto it = object.find(key);
        if (it == object.end() || it->is_null())
            return true;
        if (!it->is_number_integer() || it->get<std::int64_t>() < 1 ||
            it->get<std::int64_t>() > INT32_MAX)
            return fail(std::string("\"") + key + "\" is not a whole number from 1 or null");
        out = static_cast<std::int32_t>(it->get<std::int64_t>());
        return true;
    }

    bool curve(const json& item, SessionCurve& c) {
        if (!item.is_object())
            return fail("an entry of \"comparison\" is not an object");
        const auto kind = item.find("kind");
        if (kind == item.end() || !kind->is_string() || (*kind != "curve" && *kind != "file"))
            return fail("an entry of \"comparison\" is of no known kind");
        c.kind = *kind == "curve" ? SessionCurve::Kind::curve : SessionCurve::Kind::file;
        if (!text(item, "label", c.label))
            return false;
        if (c.kind == SessionCurve::Kind::curve)
            return text(item, "selector", c.selector) && text(item, "database", c.database) &&
                   (!c.selector.empty() || fail("a curve without \"selector\""));
        return text(item, "path", c.path) && (!c.path.empty() || fail("a file without \"path\"")) &&
               count(item, "block", c.block) && units(item, c.units) &&
               count(item, "fwhm", c.fwhm_mev);
    }

    bool session(const json& root, Session& s) {
        if (!root.is_object())
            return fail("not a JSON object");
        const auto version = root.find("version");
        if (version == root.end() || !version->is_number_integer() || *version != session_version)
            return fail("not of version " + std::to_string(session_version));
        if (const auto list = root.find("comparison"); list != root.end()) {
            if (!list->is_array())
                return fail("\"comparison\" is not a list");
            for (const json& item : *list) {
                SessionCurve c;
                if (!curve(item, c))
                    return false;
                s.comparison.push_back(std::move(c));
            }
        }
        if (const auto view = root.find("view"); view != root.end()) {
            if (!view->is_object())
                return fail("\"view\" is not an object");
            if (!flag(*view, "logx", s.view.log_energy) || !flag(*view, "logy", s.view.log_sigma) ||
                !units(*view, s.view.unit))
                return false;
        }
        if (const auto folders = root.find("folders"); folders != root.end()) {
            if (!folders->is_object())
                return fail("\"folders\" is not an object");
            return text(*folders, "figure", s.folders.figure) &&
                   text(*folders, "data", s.folders.data) &&
                   text(*folders, "measurement", s.folders.measurement);
        }
        return true;
    }
};

} // namespace

std::string write_session(const Session& session) {
    // Written in the order of the layout above, for a person reading the file.
    using ordered = nlohmann::ordered_json;
    ordered comparison = ordered::array();
    for (const SessionCurve& c : session.comparison) {
        ordered item = ordered::object();
        if (c.kind == SessionCurve::Kind::curve) {
            item["kind"] = "curve";
            put_text(item, "selector", c.selector);
            put_text(item, "database", c.database);
        } else {
            item["kind"] = "file";
            put_text(item, "path", c.path);
            item["block"] = c.block ? ordered(*c.block) : ordered(nullptr);
            item["units"] = std::string(unit_name(c.units));
            item["fwhm"] = c.fwhm_mev ? ordered(*c.fwhm_mev) : ordered(nullptr);
        }
        put_text(item, "label", c.label);
        comparison.push_back(std::move(item));
    }
    ordered root = ordered::object();
    root["version"] = session_version;
    root["comparison"] = std::move(comparison);
    root["view"]["logx"] = session.view.log_energy;
    root["view"]["logy"] = session.view.log_sigma;
    root["view"]["units"] = std::string(unit_name(session.view.unit));
    ordered& folders = root["folders"] = ordered::object();
    put_text(folders, "figure", session.folders.figure);
    put_text(folders, "data", session.folders.data);
    put_text(folders, "measurement", session.folders.measurement);
    // Every text is valid UTF-8 by now; "replace" only guards the writer against throwing.
    return root.dump(2, ' ', false, ordered::error_handler_t::replace) + "\n";
}

Result<Session> read_session(std::string_view text, std::string_view path) {
    const json root = json::parse(text.begin(), text.end(), nullptr, false);
    Reader reader;
    Session session;
    if (root.is_discarded())
        reader.fail("not JSON");
    else
        reader.session(root, session);
    if (!reader.why.empty())
        return data_error(path, 0, "not a session file: " + reader.why);
    return session;
}

} // namespace sigmat::store
