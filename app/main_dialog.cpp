#include "app/main_dialog.h"

#include "app/application.h"
#include "app/dialog_help.h"
#include "app/plot_inputs.h"
#include "app/resources/main_dialog_description.h"
#include "curves/curve.h"
#include "store/number_fields.h"

#include <cmath>
#include <string>

namespace sigmat::app {
namespace {

using platform::Event;
using platform::Platform;

// Field widths of the numbers that the actions write into edits.
constexpr int state_width = 2;
constexpr int temperature_width = 4;
constexpr int fwhm_width = 3;
constexpr double temperature_limit = 9999.0;
constexpr double fwhm_limit = 999.0;

std::string text_of(Platform& p, int id) {
    std::string text;
    p.get_text(id, text);
    return text;
}

bool checked(Platform& p, int id) {
    bool value = false;
    p.get_checked(id, value);
    return value;
}

void write_number(Platform& p, int id, std::int64_t value, int width) {
    p.set_text(id, store::format_i(value, width));
}

// A whole number read from an edit, or nothing when its text is not one.
std::optional<std::int32_t> whole_of(Platform& p, int id) {
    auto read = store::read_whole_item(text_of(p, id));
    if (!read.ok())
        return std::nullopt;
    return read.value;
}

double& memory_of(DialogMemory& memory, int edit) {
    switch (edit) {
    case id::vib_initial:
        return memory.vibInitial;
    case id::rot_initial:
        return memory.rotInitial;
    case id::vib_final:
        return memory.vibFinal;
    case id::temp_vib:
        return memory.tempVib;
    case id::temp_rot:
        return memory.tempRot;
    default:
        return memory.fwhm;
    }
}

// The real number an edit gives: its first item, or the edit's last good value when the
// item is not a number; nothing for an empty or all-blank text.
std::optional<double> real_of(Platform& p, DialogMemory& memory, int edit) {
    auto read = store::read_real_item(text_of(p, edit));
    double& last = memory_of(memory, edit);
    switch (read.status) {
    case store::ItemStatus::empty:
        return std::nullopt;
    case store::ItemStatus::value:
        if (!std::isnan(read.value))
            last = read.value;
        return last;
    case store::ItemStatus::invalid:
        break;
    }
    return last;
}

// J cut down to the highest rotational level of level v: spin 1016's range follows v, and
// an initial J above it is replaced by it. Skipped when edit 1010 holds no whole number.
void bound_rotation(Platform& p, Application& app, std::int32_t v) {
    std::int32_t rot_max = app.catalogue.rot_max(app.settings.moleculeIndex, v);
    p.set_spin_range(id::rot_initial_spin, 0, rot_max);
    auto j = whole_of(p, id::rot_initial);
    if (j && *j > rot_max)
        write_number(p, id::rot_initial, rot_max, state_width);
    show_state_tooltips(p, app);
}

// Process radio buttons: which state controls the process uses.
void on_process(Platform& p, int radio) {
    bool initial_v = radio == id::dea || radio == id::ve;
    bool initial_j = radio != id::aed_total;
    bool final_v = radio == id::ve || radio == id::aed;
    p.set_enabled(id::vib_initial, initial_v);
    p.set_enabled(id::vib_initial_spin, initial_v);
    p.set_enabled(id::rot_initial, initial_j);
    p.set_enabled(id::rot_initial_spin, initial_j);
    p.set_enabled(id::vib_final, final_v);
    p.set_enabled(id::vib_final_spin, final_v);
}

// Spins: the toolkit does not bind them to their edits; the position is carried over here.
void on_spin(Platform& p, Application& app, int spin) {
    int position = 0;
    p.get_spin_position(spin, position);
    switch (spin) {
    case id::vib_initial_spin:
        write_number(p, id::vib_initial, position, state_width);
        bound_rotation(p, app, position);
        break;
    case id::rot_initial_spin:
        write_number(p, id::rot_initial, position, state_width);
        break;
    case id::vib_final_spin:
        write_number(p, id::vib_final, position, state_width);
        break;
    default:
        break;
    }
}

int spin_of(int edit) {
    switch (edit) {
    case id::vib_initial:
        return id::vib_initial_spin;
    case id::rot_initial:
        return id::rot_initial_spin;
    default:
        return id::vib_final_spin;
    }
}

// State edits: the typed value truncated toward zero and held inside the spin's range.
// The lower limit is tested on the real value (-0.5 gives the lowest), the upper one on the
// truncated value (10.9 with highest 10 gives 10).
void on_state_edit(Platform& p, Application& app, int edit) {
    auto x = real_of(p, app.memory, edit);
    if (!x)
        return;
    int spin = spin_of(edit);
    int lo = 0, hi = 0;
    p.get_spin_range(spin, lo, hi);
    double n = std::trunc(*x);
    if (*x < lo) {
        write_number(p, edit, lo, state_width);
        p.set_spin_position(spin, lo);
    } else if (n > hi) {
        write_number(p, edit, hi, state_width);
        p.set_spin_position(spin, hi);
    } else {
        // lo <= x and n <= hi: n is a small whole number here.
        auto whole = static_cast<std::int32_t>(n);
        p.set_spin_position(spin, whole);
        if (n != *x)
            write_number(p, edit, whole, state_width);
    }
    if (edit == id::vib_initial) {
        if (auto v = whole_of(p, id::vib_initial))
            bound_rotation(p, app, *v);
    }
}

// Molecule list: the selection's three characters name the molecule; a code that the
// catalogue does not hold leaves the molecule as it was. The initial state is cut down to
// the new molecule's levels; the final level keeps its text.
void on_molecule(Platform& p, Application& app) {
    std::string code = text_of(p, id::molecule_list).substr(0, 3);
    code.resize(3, ' ');
    const store::StateCatalogue& cat = app.catalogue;
    for (std::size_t k = 0; k < cat.codes.size(); ++k)
        if (cat.codes[k] == code) {
            app.settings.moleculeIndex = static_cast<std::int32_t>(k + 1);
            break;
        }
    std::int32_t vib_max = cat.vib_max(app.settings.moleculeIndex);
    p.set_spin_range(id::vib_initial_spin, 0, vib_max);
    if (auto v = whole_of(p, id::vib_initial)) {
        if (*v > vib_max) {
            write_number(p, id::vib_initial, vib_max, state_width);
            *v = vib_max;
        }
        bound_rotation(p, app, *v);
    }
    p.set_spin_range(id::vib_final_spin, 0, vib_max);
    show_state_tooltips(p, app);
}

// Temperatures (whole kelvins, 0..9999) and FWHM (whole meV, 0..999).
void on_limited_edit(Platform& p, Application& app, int edit) {
    auto x = real_of(p, app.memory, edit);
    if (!x)
        return;
    bool temperature = edit != id::fwhm;
    double limit = temperature ? temperature_limit : fwhm_limit;
    int width = temperature ? temperature_width : fwhm_width;
    double n = std::trunc(*x);
    if (*x < 0.0)
        p.set_text(edit, "0");
    else if (*x > limit)
        write_number(p, edit, static_cast<std::int64_t>(limit), width);
    else if (n != *x)
        write_number(p, edit, static_cast<std::int64_t>(n), width);
}

// What a whole-number field takes, for the hint shown when a key is refused.
std::string allowed_text(Platform& p, int edit) {
    switch (edit) {
    case id::fwhm:
        return "FWHM: a whole number of meV from " + std::to_string(curves::fwhm_lowest_mev) +
               " to " + std::to_string(curves::fwhm_highest_mev);
    case id::temp_vib:
    case id::temp_rot:
        return std::string(edit == id::temp_vib ? "Vibrational" : "Rotational") +
               " temperature: a whole number of K from 0 to " +
               std::to_string(curves::temperature_highest_k);
    default: {
        int lo = 0, hi = 0;
        p.get_spin_range(spin_of(edit), lo, hi);
        const char* what = edit == id::vib_initial   ? "Vibrational state"
                           : edit == id::rot_initial ? "Rotational state"
                                                     : "Final vibrational state";
        return std::string(what) + ": a whole number from " + std::to_string(lo) + " to " +
               std::to_string(hi);
    }
    }
}

// Keys typed into a whole-number field. A decimal point or comma is refused, and so is every
// digit typed after it until another key is pressed or the field loses the focus: typing
// "12.75" leaves 12, not 125. Any other character that is not a digit is refused too. A
// refusal keeps the text and shows what the field takes.
bool on_whole_number_key(Platform& p, Application& app, int edit, const platform::KeyPress& key) {
    bool& after_point = app.memory.afterPoint[edit];
    const std::string& typed = key.typed;
    const bool digit = typed.size() == 1 && typed[0] >= '0' && typed[0] <= '9';
    if (key.focus_lost || !digit)
        after_point = false;
    if (key.focus_lost || typed.empty())
        return true;
    if (typed == "." || typed == ",")
        after_point = true;
    if (digit && !after_point)
        return true;
    p.show_hint(edit, allowed_text(p, edit));
    return false;
}

void on_resolution(Platform& p, Application& app) {
    bool on = checked(p, id::resolution);
    p.set_enabled(id::fwhm, on);
    app.settings.useResolution = on;
}

void on_energy_range(Platform& p, Application& app) {
    bool on = checked(p, id::energy_range);
    p.set_enabled(id::energy_min, on);
    p.set_enabled(id::energy_max, on);
    app.settings.useEnergyRange = on;
}

// Data-style boxes: the style follows the two boxes, and at least one of them stays checked.
void on_data_style(Platform& p, Application& app, int box) {
    std::string& style = app.settings.dataStyle;
    bool now = checked(p, box);
    bool lines = box == id::style_lines;
    std::string_view alone = lines ? "l " : "p ";
    std::string_view other = lines ? "p " : "l ";
    if (!now) {
        if (style == alone)
            p.set_checked(box, true);
        else
            style = other;
    } else {
        style = style == other ? "lp" : alone;
    }
}

void on_directory(Platform& p, Application& app, int edit) {
    std::string text = cut_directory(text_of(p, edit));
    switch (edit) {
    case id::database_dir:
        app.settings.databaseDir = std::move(text);
        break;
    case id::work_dir:
        app.settings.workDir = std::move(text);
        break;
    default:
        app.settings.gnuplotDir = std::move(text);
        break;
    }
}

} // namespace

void show_data_style(Platform& platform, std::string_view dataStyle) {
    platform.set_checked(id::style_lines, dataStyle.find('l') != std::string_view::npos);
    platform.set_checked(id::style_points, dataStyle.find('p') != std::string_view::npos);
}

void show_catalogue(Platform& p, Application& app) {
    const store::StateCatalogue& cat = app.catalogue;
    p.set_item_count(id::molecule_list, cat.moleculeCount);
    for (std::size_t k = 0; k < cat.codes.size(); ++k)
        p.set_item_text(id::molecule_list, static_cast<int>(k + 1), cat.codes[k]);
    app.settings.moleculeIndex = 1;
    if (!cat.codes.empty())
        p.select_item(id::molecule_list, cat.codes.front());
    struct StateControls {
        int spin, edit;
        std::int32_t highest;
    } const states[] = {
        {id::vib_initial_spin, id::vib_initial, cat.vib_max(1)},
        {id::rot_initial_spin, id::rot_initial, cat.rot_max(1, 0)},
        {id::vib_final_spin, id::vib_final, cat.vib_max(1)},
    };
    for (const StateControls& c : states) {
        p.set_spin_range(c.spin, 0, c.highest);
        p.set_text(c.edit, "0");
        p.set_spin_position(c.spin, 0);
    }
    show_state_tooltips(p, app);
}

void start_main_dialog(Platform& p, Application& app) {
    PlotSettings& s = app.settings;

    // 1. Wait indicator and final-state controls off (the process is DEA).
    p.set_enabled(id::wait_label, false);
    p.set_enabled(id::vib_final, false);
    p.set_enabled(id::vib_final_spin, false);

    // 2. Single cross section job and the process buttons.
    p.attach(id::plot_single, Event::clicked,
             [&p, &app](int, Event e) { on_plot_single(p, app.settings, *app.files, e); });
    for (int radio : {id::ve, id::dea, id::aed_total, id::aed})
        p.attach(radio, Event::clicked, [&p](int control, Event) { on_process(p, control); });

    // 3.-6. Molecule list, and the three state edits with their spins, all at 0.
    show_catalogue(p, app);
    p.attach(id::molecule_list, Event::selection_changed,
             [&p, &app](int, Event) { on_molecule(p, app); });
    auto spin_action = [&p, &app](int control, Event) { on_spin(p, app, control); };
    auto state_action = [&p, &app](int control, Event) { on_state_edit(p, app, control); };
    for (int spin : {id::vib_initial_spin, id::rot_initial_spin, id::vib_final_spin})
        p.attach(spin, Event::position_changed, spin_action);
    for (int edit : {id::vib_initial, id::rot_initial, id::vib_final})
        p.attach(edit, Event::text_changed, state_action);

    // 7. Energy range.
    p.set_text(id::energy_min, "0.000");
    p.set_text(id::energy_max, "5.000");

    // 8. Directories and "Save setup".
    p.set_text(id::database_dir, s.databaseDir);
    p.set_text(id::work_dir, s.workDir);
    p.set_text(id::gnuplot_dir, s.gnuplotDir);
    p.attach(id::save_setup, Event::clicked, [&p, &app](int, Event) {
        p.set_status("", false);
        save_setup(p, app);
    });
    for (int edit : {id::database_dir, id::work_dir, id::gnuplot_dir})
        p.attach(edit, Event::text_changed,
                 [&p, &app](int control, Event) { on_directory(p, app, control); });

    // 9. Plotter version.
    p.set_checked(s.gnuplotV4 ? id::version4 : id::version_older, true);

    // 10. Temperature-averaged job and the temperatures.
    p.attach(id::plot_thermal, Event::clicked,
             [&p, &app](int, Event e) { on_plot_thermal(p, app.settings, *app.files, e); });
    auto limited_action = [&p, &app](int control, Event) { on_limited_edit(p, app, control); };
    p.set_text(id::temp_vib, "300");
    p.attach(id::temp_vib, Event::text_changed, limited_action);
    p.set_text(id::temp_rot, "300");
    p.attach(id::temp_rot, Event::text_changed, limited_action);

    // 11. Resolution, off.
    p.attach(id::resolution, Event::clicked, [&p, &app](int, Event) { on_resolution(p, app); });
    p.set_checked(id::resolution, false);
    s.useResolution = false;
    p.set_enabled(id::fwhm, false);
    p.attach(id::fwhm, Event::text_changed, limited_action);
    p.set_text(id::fwhm, "10");

    // 12. Energy range, off.
    p.attach(id::energy_range, Event::clicked, [&p, &app](int, Event) { on_energy_range(p, app); });
    p.set_checked(id::energy_range, false);
    s.useEnergyRange = false;
    p.set_enabled(id::energy_min, false);
    p.set_enabled(id::energy_max, false);

    // Keys typed into the whole-number fields.
    for (int edit :
         {id::vib_initial, id::rot_initial, id::vib_final, id::temp_vib, id::temp_rot, id::fwhm})
        p.attach_key_filter(edit, [&p, &app](int control, const platform::KeyPress& key) {
            return on_whole_number_key(p, app, control, key);
        });

    // 13. Data style (the boxes were checked from the settings at start-up).
    for (int box : {id::style_lines, id::style_points})
        p.attach(box, Event::clicked,
                 [&p, &app](int control, Event) { on_data_style(p, app, control); });

    // Enter in a temperature plots the average; elsewhere it plots the single cross section.
    p.set_enter_button(id::temp_vib, id::plot_thermal);
    p.set_enter_button(id::temp_rot, id::plot_thermal);
    show_tooltips(p, app);
}

} // namespace sigmat::app
