// sigmat-drive: runs Sigmat's real start-up and dialog on the headless platform, reads
// one user event per line (from the file named as its argument, or standard input) and
// prints a transcript of what Sigmat shows and starts. --help lists the events.
//
// Exit code 0, or 2 when its own input is malformed (with a message on standard error).
#include "app/application.h"
#include "app/resources/main_dialog_description.h"
#include "platform/headless/headless_platform.h"
#include "process/plotter_process.h"

#include <charconv>
#include <fstream>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

using sigmat::platform::ControlKind;
using sigmat::platform::HeadlessPlatform;
using sigmat::platform::HeadlessRecord;
using sigmat::platform::KeepAnswer;

std::string escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

void print_record(const HeadlessRecord& r) {
    switch (r.kind) {
    case HeadlessRecord::Kind::message:
        std::cout << "message " << escape(r.caption) << " | " << escape(r.text) << '\n';
        break;
    case HeadlessRecord::Kind::ask:
        std::cout << "ask " << escape(r.caption) << " | " << escape(r.text) << " -> "
                  << (!r.choice.empty() ? r.choice
                      : r.answer        ? "yes"
                                        : "no")
                  << '\n';
        break;
    case HeadlessRecord::Kind::launch:
        std::cout << "launch " << escape(r.cwd) << " | " << escape(r.program) << " | "
                  << escape(r.script) << '\n';
        break;
    case HeadlessRecord::Kind::status:
        // The status line is printed on request only ("show status").
        return;
    case HeadlessRecord::Kind::window:
        std::cout << "window " << escape(r.caption) << '\n';
        break;
    case HeadlessRecord::Kind::question:
        std::cout << "question " << escape(r.caption) << " -> "
                  << (r.text.empty() ? std::string("cancel") : escape(r.text)) << '\n';
        break;
    }
    std::cout.flush();
}

constexpr const char* help_text =
    "Usage: sigmat-drive [EVENTS-FILE]\n"
    "       sigmat-drive --help\n"
    "\n"
    "Runs Sigmat's start-up and dialog without a window system, in the current directory and\n"
    "environment, reads one event per line from EVENTS-FILE (else standard input) and prints a\n"
    "transcript of what Sigmat shows and starts. A driver for tests and scripts.\n"
    "\n"
    "Events (ID is a control's or a menu entry's id; TEXT is the rest of the line):\n"
    "  type ID TEXT          replace the edit's text (its action runs)\n"
    "  keys ID TEXT          type TEXT after the edit's text, one key at a time\n"
    "  enter ID              press Enter in the edit\n"
    "  click ID              click a button, check box, radio button or menu entry\n"
    "  select ID TEXT        pick the list item TEXT\n"
    "  spin ID N             move the spin to position N\n"
    "  answer yes|no         answer the next recalculation question (default yes)\n"
    "  answer save|discard|cancel\n"
    "                        answer the next three-way question, quitting with a comparison\n"
    "                        (default save)\n"
    "  file PATH|cancel      answer the next file or folder question (default cancel)\n"
    "  choose N|cancel       answer the next choice question, N from 1 (default cancel)\n"
    "  plotter ok|fail|real  plotter starts from now on: recorded and succeed, fail, or real\n"
    "  show ID               print the control's state\n"
    "  show status           print the status line\n"
    "  blank line, # ...     ignored\n"
    "\n"
    "Transcript lines: message CAPTION | TEXT; ask CAPTION | TEXT -> ANSWER;\n"
    "launch CWD | PROGRAM | SCRIPT; question TITLE -> PATH; window TITLE; ignored ID;\n"
    "show ID ...; status ok|warning | TEXT; closed. In texts \\ is written \\\\, \" as \\\" and a\n"
    "line break as \\n.\n"
    "\n"
    "Exit code 0; 2 when the input is malformed (the reason on standard error).\n";

// The menu entries with their ids, for --help.
void print_menu_ids() {
    std::cout << "\nMenu entries (click ID):\n";
    for (const sigmat::platform::MenuDescription& m :
         sigmat::app::main_dialog_description().menus) {
        if (m.id == sigmat::platform::no_id)
            continue;
        std::string label;
        for (const char c : m.label)
            if (c != '&')
                label += c;
        std::cout << "  " << m.id << "  " << label << '\n';
    }
}

bool parse_int(std::string_view text, int& value) {
    if (text.empty())
        return false;
    const char* first = text.data();
    if (*first == '+')
        ++first;
    auto [ptr, ec] = std::from_chars(first, text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size();
}

void print_show(HeadlessPlatform& p, int id) {
    const auto* c = p.control(id);
    std::cout << "show " << id;
    switch (c->desc->kind) {
    case ControlKind::edit:
    case ControlKind::static_text:
        std::cout << " text=\"" << escape(c->text) << "\" enabled=" << c->enabled;
        break;
    case ControlKind::drop_list:
        std::cout << " text=\"" << escape(c->text) << "\" enabled=" << c->enabled
                  << " items=" << c->items.size();
        break;
    case ControlKind::radio:
    case ControlKind::check:
        std::cout << " enabled=" << c->enabled << " checked=" << c->checked;
        break;
    case ControlKind::spin:
        std::cout << " enabled=" << c->enabled << " pos=" << c->position << " lo=" << c->lowest
                  << " hi=" << c->highest;
        break;
    default:
        std::cout << " enabled=" << c->enabled;
        break;
    }
    std::cout << '\n';
}

int malformed(std::size_t line_no, std::string_view line, std::string_view why) {
    std::cout.flush();
    std::cerr << "sigmat-drive: line " << line_no << ": " << why << ": " << line << '\n';
    return 2;
}

int drive(std::istream& in, HeadlessPlatform& p) {
    std::string line;
    std::size_t line_no = 0;
    while (!p.closed() && std::getline(in, line)) {
        ++line_no;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::string_view rest(line);
        if (rest.find_first_not_of(" \t") == std::string_view::npos || rest.front() == '#')
            continue;
        std::size_t sp = rest.find(' ');
        std::string_view verb = rest.substr(0, sp);
        std::string_view args =
            sp == std::string_view::npos ? std::string_view{} : rest.substr(sp + 1);

        if (verb == "answer") {
            if (args == "yes" || args == "no")
                p.queue_answer(args == "yes");
            else if (args == "save" || args == "discard" || args == "cancel")
                p.queue_keep(args == "save"      ? KeepAnswer::save
                             : args == "discard" ? KeepAnswer::discard
                                                 : KeepAnswer::cancel);
            else
                return malformed(line_no, line, "answer takes yes, no, save, discard or cancel");
            continue;
        }
        if (verb == "file") {
            if (args.empty())
                return malformed(line_no, line, "file takes a path or cancel");
            p.queue_file(args == "cancel" ? std::nullopt
                                          : std::optional<std::string>(std::string(args)));
            continue;
        }
        if (verb == "choose") {
            int item = 0;
            if (args != "cancel" && (!parse_int(args, item) || item < 1))
                return malformed(line_no, line, "choose takes an item number (from 1) or cancel");
            p.queue_choice(args == "cancel"
                               ? std::nullopt
                               : std::optional<std::size_t>(static_cast<std::size_t>(item - 1)));
            continue;
        }
        if (verb == "show" && args == "status") {
            std::cout << "status " << (p.status_warning() ? "warning" : "ok") << " | "
                      << escape(p.status()) << '\n';
            continue;
        }
        if (verb == "plotter") {
            if (args == "ok")
                p.set_plotter_mode(HeadlessPlatform::PlotterMode::succeed);
            else if (args == "fail")
                p.set_plotter_mode(HeadlessPlatform::PlotterMode::fail);
            else if (args == "real")
                p.set_plotter_mode(HeadlessPlatform::PlotterMode::real);
            else
                return malformed(line_no, line, "plotter takes ok, fail or real");
            continue;
        }
        if (verb != "type" && verb != "click" && verb != "select" && verb != "spin" &&
            verb != "show" && verb != "keys" && verb != "enter")
            return malformed(line_no, line, "unknown event");

        std::size_t id_end = args.find(' ');
        std::string_view id_text = args.substr(0, id_end);
        std::string_view text =
            id_end == std::string_view::npos ? std::string_view{} : args.substr(id_end + 1);
        int id = 0;
        if (!parse_int(id_text, id) || !p.control(id))
            return malformed(line_no, line, "no control with that id");
        const auto* c = p.control(id);
        const ControlKind kind = c->desc->kind;

        if (verb == "show") {
            print_show(p, id);
            continue;
        }
        bool fits = false;
        if (verb == "type" || verb == "keys" || verb == "enter")
            fits = kind == ControlKind::edit;
        else if (verb == "click")
            fits = kind == ControlKind::push || kind == ControlKind::default_push ||
                   kind == ControlKind::radio || kind == ControlKind::check;
        else if (verb == "select")
            fits = kind == ControlKind::drop_list;
        else if (verb == "spin")
            fits = kind == ControlKind::spin;
        if (!fits)
            return malformed(line_no, line, "the control is of another kind");
        if (!c->enabled) {
            std::cout << "ignored " << id << '\n';
            continue;
        }
        if (verb == "type") {
            p.user_type(id, text);
        } else if (verb == "keys") {
            p.user_keys(id, text);
        } else if (verb == "enter") {
            p.user_enter(id);
        } else if (verb == "click") {
            p.user_click(id);
        } else if (verb == "select") {
            if (!p.user_select(id, text))
                return malformed(line_no, line, "the list has no such item");
        } else {
            int position = 0;
            if (!parse_int(text, position))
                return malformed(line_no, line, "spin takes a whole number");
            p.user_spin(id, position);
        }
        std::cout.flush();
    }
    return 0;
}

} // namespace

namespace {

int run(int argc, char** argv) {
#ifdef _WIN32
    // The transcript is the same bytes on every platform: lines end with "\n" alone.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::cout << help_text;
        print_menu_ids();
        return 0;
    }
    if (argc > 2) {
        std::cerr << "usage: sigmat-drive [EVENTS-FILE]\n";
        return 2;
    }
    std::ifstream file;
    if (argc == 2) {
        file.open(argv[1]);
        if (!file.is_open()) {
            std::cerr << "sigmat-drive: cannot read " << argv[1] << '\n';
            return 2;
        }
    }
    std::istream& in = argc == 2 ? static_cast<std::istream&>(file) : std::cin;
    // A line that cannot be held, or a read that fails, must not end the events early as if
    // they had all been read: the stream throws (std::bad_alloc stays what it is).
    in.exceptions(std::ios::badbit);

    sigmat::process::ignore_file_size_signal();
    HeadlessPlatform platform(sigmat::app::main_dialog_description());
    platform.on_record = print_record;
    sigmat::app::Application application;
    bool ok = sigmat::app::start_application(platform, application, [] {
        std::cout << "closed\n" << std::flush;
    });
    if (!ok) {
        sigmat::app::show_startup_error(platform);
        return 0;
    }
    return drive(in, platform);
}

} // namespace

int main(int argc, char** argv) {
    // Memory that runs out ends the transcript with a line of its own, not with an abort.
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::cout << "error out of memory\n" << std::flush;
        return 1;
    } catch (const std::ios_base::failure&) {
        std::cerr << "sigmat-drive: the events could not be read to their end\n";
        return 2;
    }
}
