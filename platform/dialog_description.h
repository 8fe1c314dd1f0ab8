// The description of a dialog: every control with its id, kind, label and position in
// dialog units, plus the labels and group frames that have no id. Every platform (the Qt
// dialog, the headless one) builds its dialog from such a table, so that the two cannot
// drift apart.
#pragma once

#include <span>
#include <string_view>

namespace sigmat::platform {

enum class ControlKind {
    edit,
    spin,
    drop_list,
    radio,
    check,
    push,
    default_push,
    static_text,
    label,
    group_frame,
};

// Style bits of a control.
enum Style : unsigned {
    style_none = 0,
    align_right = 1u << 0,
    align_left = 1u << 1,
    centred = 1u << 2,
    scrolls = 1u << 3, // edit scrolls its text horizontally
    starts_disabled = 1u << 4,
    group_start = 1u << 5, // first radio button of a group
};

// Controls without an id (labels, frames) carry this id.
inline constexpr int no_id = -1;

struct ControlDescription {
    int id;
    ControlKind kind;
    std::string_view label;
    int x, y, w, h; // dialog units
    unsigned style;
};

// The menu bar above the controls: menus in table order, each holding the entries that follow
// its title up to the next title. Entries with an id act like controls of that id: an action
// is clicked, a check entry toggles, a radio entry is checked in its group (from an entry
// marked group_start to the next one; the first of a group starts checked).
enum class MenuKind { title, action, check, radio, separator };

struct MenuDescription {
    int id; // no_id for titles and separators
    MenuKind kind;
    std::string_view label;         // "&" marks the keyboard mnemonic
    unsigned style;                 // group_start
    std::string_view shortcut = {}; // e.g. "Ctrl+Q"
};

struct DialogDescription {
    std::string_view title;
    int x, y, w, h; // dialog units, the menu bar and the status line not counted
    std::string_view font;
    int font_points;
    std::span<const ControlDescription> controls;
    std::span<const MenuDescription> menus = {};
};

const ControlDescription* find_control(const DialogDescription& dialog, int id);
const MenuDescription* find_menu_entry(const DialogDescription& dialog, int id);
std::string_view kind_name(ControlKind kind);

} // namespace sigmat::platform
