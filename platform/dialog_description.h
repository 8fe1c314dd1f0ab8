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

struct ControlSpec {
    int id;
    ControlKind kind;
    std::string_view label;
    int x, y, w, h; // dialog units
    unsigned style;
};

struct DialogDescription {
    std::string_view title;
    int x, y, w, h; // dialog units
    std::string_view font;
    int font_points;
    std::span<const ControlSpec> controls;
};

const ControlSpec* find_control(const DialogDescription& dialog, int id);
std::string_view kind_name(ControlKind kind);

} // namespace sigmat::platform
