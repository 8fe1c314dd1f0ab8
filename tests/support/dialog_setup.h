// A headless dialog filled as the dialog start-up fills it, with the molecule HCl
// selected: the starting point of the job tests and the job benchmarks.
#pragma once

#include "app/resources/main_dialog_description.h"
#include "platform/headless/headless_platform.h"

namespace sigmat::test {

inline void fill_dialog(platform::HeadlessPlatform& p) {
    namespace id = app::id;
    p.set_item_count(id::molecule_list, 2);
    p.set_item_text(id::molecule_list, 1, "HCl");
    p.set_item_text(id::molecule_list, 2, "H2 ");
    p.select_item(id::molecule_list, "HCl");
    p.set_text(id::vib_initial, "0");
    p.set_text(id::rot_initial, "0");
    p.set_text(id::vib_final, "0");
    p.set_text(id::energy_min, "0.000");
    p.set_text(id::energy_max, "5.000");
    p.set_text(id::temp_vib, "300");
    p.set_text(id::temp_rot, "300");
    p.set_text(id::fwhm, "10");
    p.set_checked(id::version4, true);
}

} // namespace sigmat::test
