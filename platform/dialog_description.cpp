#include "platform/dialog_description.h"

namespace sigmat::platform {

const ControlDescription* find_control(const DialogDescription& dialog, int id) {
    if (id == no_id)
        return nullptr;
    for (const ControlDescription& c : dialog.controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

const MenuDescription* find_menu_entry(const DialogDescription& dialog, int id) {
    if (id == no_id)
        return nullptr;
    for (const MenuDescription& m : dialog.menus)
        if (m.id == id)
            return &m;
    return nullptr;
}

std::string_view kind_name(ControlKind kind) {
    switch (kind) {
    case ControlKind::edit:
        return "edit";
    case ControlKind::spin:
        return "spin";
    case ControlKind::drop_list:
        return "list";
    case ControlKind::radio:
        return "radio";
    case ControlKind::check:
        return "check";
    case ControlKind::push:
        return "push";
    case ControlKind::default_push:
        return "default-push";
    case ControlKind::static_text:
        return "static";
    case ControlKind::label:
        return "label";
    case ControlKind::group_frame:
        return "frame";
    }
    return "?";
}

} // namespace sigmat::platform
