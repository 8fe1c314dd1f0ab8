// Help where the hand is: the tooltip of every control (what it does, what it takes and in
// which unit), the user's guide (the README's "Using Sigmat") and the About box.
#pragma once

#include "platform/platform.h"

#include <string>
#include <string_view>

namespace sigmat::app {

struct Application;

// The tooltip of a control of the main dialog; the state controls name the present
// molecule's range. Empty for an id that has none.
[[nodiscard]] std::string tooltip_text(int id, const Application& application);

// Sets the tooltip of every control; called at start-up and whenever a range changes.
void show_tooltips(platform::Platform& platform, const Application& application);
// Only those of the state edits and spins, whose ranges follow the molecule and ν.
void show_state_tooltips(platform::Platform& platform, const Application& application);

// The README as built into the program, and its section "## Using Sigmat" up to the next
// "## " heading (the heading included), for the user's guide window.
[[nodiscard]] std::string_view readme_text();
[[nodiscard]] std::string guide_section(std::string_view readme);

// The About box: the version, the toolkit, and the gnuplot program a Plot would run now (the
// configured one, else the one on PATH), found without running it.
[[nodiscard]] std::string about_text(platform::Platform& platform, const Application& application);

} // namespace sigmat::app
