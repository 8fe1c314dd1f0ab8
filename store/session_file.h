// The session file Sigmat/session.json beside Sigmat.ini: what the dialog keeps from one start
// to the next besides the setup, namely the comparison's curves (when the user chose to keep
// them on quitting), the View menu's options and the folders the file questions last used.
//
//   {"version": 1,
//    "comparison": [{"kind": "curve", "selector": "HCl:dea:v=0,J=3,fwhm=50",
//                    "database": "/home/me/demo-db", "label": "..."},
//                   {"kind": "file", "path": "/home/me/beam.txt", "block": null,
//                    "units": "cm2", "fwhm": 50, "label": "..."}],
//    "view": {"logx": false, "logy": true, "units": "A2"},
//    "folders": {"figure": "...", "data": "...", "measurement": "..."}}
//
// A curve of a database is named by its selector and the database folder it came from (which
// need not be the one the next start opens) and computed again at the next start; a curve of
// the user's file by the file, read again: "block" is the LXCat block (1-based), null
// for a file of two columns, whose cross sections are in "units"; "fwhm" is the resolution it
// was folded with (null: not folded). Paths, labels and folders are texts as text_escapes.h
// writes them (U+FFFD for bytes that are not UTF-8, and KEY_bytes_hex with the exact bytes).
// Keys that are not known are passed over; a missing "view", "folders" or "comparison" is
// empty; anything else that does not fit (a value of another type, an unknown kind or unit,
// another version) makes the file unreadable as a whole.
#pragma once

#include "store/error.h"
#include "store/plot_scripts.h"
#include "store/units.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sigmat::store {

inline constexpr std::string_view session_file_name = "session.json";
inline constexpr int session_version = 1;

struct SessionCurve {
    enum class Kind { curve, file };
    Kind kind = Kind::curve;
    std::string selector;                 // curve
    std::string database;                 // curve: its database folder ("": the dialog's)
    std::string path;                     // file
    std::optional<std::int32_t> block;    // file: the LXCat block; nothing: two columns
    SigmaUnit units = SigmaUnit::a2;      // file of two columns
    std::optional<std::int32_t> fwhm_mev; // file: folded with this resolution
    std::string label;
    friend bool operator==(const SessionCurve&, const SessionCurve&) = default;
};

// The folder each kind of file question last used ("" before the first).
struct SessionFolders {
    std::string figure;
    std::string data;
    std::string measurement;
    friend bool operator==(const SessionFolders&, const SessionFolders&) = default;
};

struct Session {
    std::vector<SessionCurve> comparison;
    View view;
    SessionFolders folders;
    friend bool operator==(const Session&, const Session&) = default;
};

// The file's text (indented, one key per line, ending with a line break).
[[nodiscard]] std::string write_session(const Session& session);
// The session a text holds; a data error naming `path` when it is not a session file.
[[nodiscard]] Result<Session> read_session(std::string_view text, std::string_view path);

} // namespace sigmat::store
