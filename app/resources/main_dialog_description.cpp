#include "app/resources/main_dialog_description.h"

#include <array>

namespace sigmat::app {
namespace {

using platform::ControlKind;
using platform::ControlSpec;
using platform::no_id;
namespace st = platform;

// Radio groups run in table order from a control marked group_start to the next one.
constexpr std::array controls{
    // Group frames first, so that the controls inside them lie on top.
    ControlSpec{no_id, ControlKind::group_frame, "Single cross section", 6, 40, 169, 72, 0},
    ControlSpec{no_id, ControlKind::group_frame, "Temperature averaged DEA cross section", 180, 40,
                169, 41, 0},
    ControlSpec{no_id, ControlKind::group_frame, "Setup", 6, 114, 342, 62, 0},

    ControlSpec{1013, ControlKind::drop_list, "", 69, 12, 56, 79, 0},
    ControlSpec{1007, ControlKind::radio, "DEA", 121, 71, 27, 10, st::group_start},
    ControlSpec{1042, ControlKind::radio, "VE", 121, 81, 22, 9, 0},
    ControlSpec{1043, ControlKind::radio, "AED", 121, 89, 28, 11, 0},
    ControlSpec{1044, ControlKind::radio, "AED total", 121, 99, 42, 10, 0},
    ControlSpec{1009, ControlKind::edit, "", 62, 60, 22, 12, st::align_right},
    ControlSpec{1015, ControlKind::spin, "", 83, 60, 7, 12, 0},
    ControlSpec{1010, ControlKind::edit, "", 62, 75, 22, 12, st::align_right},
    ControlSpec{1016, ControlKind::spin, "", 83, 75, 7, 12, 0},
    ControlSpec{1011, ControlKind::edit, "", 62, 90, 22, 12, st::align_right},
    ControlSpec{1017, ControlKind::spin, "", 83, 90, 7, 12, 0},
    ControlSpec{30002, ControlKind::default_push, "Plot", 113, 55, 50, 14, 0},
    ControlSpec{1032, ControlKind::check, "Electron energy range", 155, 6, 81, 10, 0},
    ControlSpec{1012, ControlKind::edit, "", 239, 5, 27, 12, st::align_right},
    ControlSpec{1014, ControlKind::edit, "", 272, 5, 27, 12, st::align_right},
    ControlSpec{1029, ControlKind::check, "Simulate finite resolution", 155, 21, 81, 9, 0},
    ControlSpec{1019, ControlKind::edit, "", 239, 20, 27, 12,
                st::align_right | st::starts_disabled},
    ControlSpec{1018, ControlKind::edit, "", 236, 50, 38, 12, st::align_right},
    ControlSpec{1020, ControlKind::edit, "", 236, 64, 38, 12, st::align_right},
    ControlSpec{30003, ControlKind::default_push, "Plot", 293, 56, 50, 14, 0},
    ControlSpec{1039, ControlKind::static_text, "Wait, please...", 218, 93, 85, 15,
                st::centred | st::starts_disabled},
    ControlSpec{1021, ControlKind::edit, "", 72, 123, 270, 12, st::align_left | st::scrolls},
    ControlSpec{1022, ControlKind::edit, "", 72, 135, 270, 12, st::align_left | st::scrolls},
    ControlSpec{1024, ControlKind::edit, "", 72, 147, 270, 12, st::align_left | st::scrolls},
    ControlSpec{1034, ControlKind::radio, "4", 140, 163, 14, 8, st::group_start},
    ControlSpec{1035, ControlKind::radio, "older", 159, 163, 27, 8, 0},
    ControlSpec{1040, ControlKind::check, "lines", 264, 163, 27, 8, 0},
    ControlSpec{1041, ControlKind::check, "points", 293, 163, 27, 8, 0},
    ControlSpec{1023, ControlKind::push, "Save setup", 238, 180, 50, 14, 0},
    ControlSpec{30001, ControlKind::push, "Exit", 298, 180, 50, 14, 0},

    ControlSpec{no_id, ControlKind::label, "Molecule", 34, 14, 0, 0, 0},
    ControlSpec{no_id, ControlKind::label, "Vibrational state", 12, 62, 0, 0, 0},
    ControlSpec{no_id, ControlKind::label, "Rotational state", 12, 77, 0, 0, 0},
    ControlSpec{no_id, ControlKind::label, "Final vib. state", 12, 92, 0, 0, 0},
    ControlSpec{no_id, ControlKind::label, "-", 268, 7, 0, 0, 0},
    ControlSpec{no_id, ControlKind::label, "eV", 301, 7, 0, 0, 0},
    ControlSpec{no_id, ControlKind::label, "meV", 268, 21, 0, 0, 0},
    ControlSpec{no_id, ControlKind::label, "Temperature", 185, 59, 0, 0, 0},
    ControlSpec{no_id, ControlKind::label, "vib", 226, 52, 0, 0, 0},
    ControlSpec{no_id, ControlKind::label, "rot", 226, 66, 0, 0, 0},
    ControlSpec{no_id, ControlKind::label, "K", 276, 59, 0, 0, 0},
    ControlSpec{no_id, ControlKind::label, "Database directory", 11, 124, 0, 0, 0},
    ControlSpec{no_id, ControlKind::label, "Work directory", 12, 136, 0, 0, 0},
    ControlSpec{no_id, ControlKind::label, "gnuplot directory", 12, 148, 0, 0, 0},
    ControlSpec{no_id, ControlKind::label, "gnuplot version", 91, 163, 0, 0, 0},
    ControlSpec{no_id, ControlKind::label, "data style:", 228, 163, 0, 0, 0},
};

constexpr platform::DialogDescription description{
    "Sigmat", 40, 40, 354, 201, "MS Sans Serif", 10, std::span<const ControlSpec>(controls)};

} // namespace

const platform::DialogDescription& main_dialog_description() {
    return description;
}

} // namespace sigmat::app
