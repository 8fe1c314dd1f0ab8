#include "app/main_menu.h"

#include "app/application.h"
#include "app/database_menu.h"
#include "app/dialog_help.h"
#include "app/resources/main_dialog_description.h"
#include "app/session_keeping.h"

namespace sigmat::app {
namespace {

using platform::Event;
using platform::Platform;

// The View entries hold the options; a script or a figure made afterwards follows them.
void on_view(Platform& p, Application& app) {
    store::View& view = app.settings.view;
    bool on = false;
    view.log_energy = p.get_checked(id::log_energy, on) && on;
    view.log_sigma = p.get_checked(id::log_sigma, on) && on;
    view.unit = p.get_checked(id::unit_m2, on) && on    ? curves::SigmaUnit::m2
                : p.get_checked(id::unit_cm2, on) && on ? curves::SigmaUnit::cm2
                                                        : curves::SigmaUnit::a2;
}

} // namespace

void start_menus(Platform& p, Application& app) {
    if (!app.compare)
        app.compare = std::make_unique<ComparisonLogic>(p, app);
    ComparisonLogic& compare = *app.compare;

    const store::View& view = app.settings.view;
    p.set_checked(id::log_energy, view.log_energy);
    p.set_checked(id::log_sigma, view.log_sigma);
    p.set_checked(view.unit == curves::SigmaUnit::cm2  ? id::unit_cm2
                  : view.unit == curves::SigmaUnit::m2 ? id::unit_m2
                                                       : id::unit_a2,
                  true);
    // Each entry's action replaces the status line's message.
    const auto on = [&p](int entry, std::function<void()> action) {
        p.attach(entry, Event::clicked, [&p, action = std::move(action)](int, Event) {
            p.set_status("", false);
            action();
        });
    };
    for (int entry : {id::log_energy, id::log_sigma, id::unit_a2, id::unit_cm2, id::unit_m2})
        on(entry, [&p, &app] {
            on_view(p, app);
            session_options_changed(p, app);
        });

    on(id::open_database, [&p, &app] { open_database(p, app); });
    on(id::make_demo_database, [&p, &app] { make_demo_database(p, app); });
    on(id::export_figure, [&compare] { compare.export_figure(); });
    on(id::export_data, [&compare] { compare.export_data(); });
    on(id::quit, [&p, &app] {
        if (may_quit(p, app))
            p.close_dialog();
    });
    on(id::compare_add, [&compare] { compare.add_from_dialog(false); });
    on(id::compare_add_thermal, [&compare] { compare.add_from_dialog(true); });
    on(id::compare_show, [&p, &compare] { p.show_comparison(compare); });
    on(id::compare_clear, [&compare] { compare.clear(); });
    on(id::help_guide, [&p] {
        p.show_document(platform::DocumentKind::guide, "Sigmat: user's guide",
                        guide_section(readme_text()));
    });
    on(id::help_about, [&p, &app] {
        p.show_document(platform::DocumentKind::about, "About Sigmat", about_text(p, app));
    });
}

} // namespace sigmat::app
