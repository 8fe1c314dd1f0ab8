#include "platform/headless/headless_platform.h"

#include "process/plotter_process.h"

namespace sigmat::platform {
namespace {

std::string_view trim_right(std::string_view s) {
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

} // namespace

HeadlessPlatform::HeadlessPlatform(const DialogDescription& dialog) : dialog_(dialog) {
    // Menu entries with an id are controls of the kind they act like: an action a push
    // button, a check entry a check box, a radio entry a radio button.
    menu_descriptions_.reserve(dialog.menus.size());
    for (const MenuDescription& m : dialog.menus) {
        if (m.id == no_id)
            continue;
        const ControlKind kind = m.kind == MenuKind::check   ? ControlKind::check
                                 : m.kind == MenuKind::radio ? ControlKind::radio
                                                             : ControlKind::push;
        menu_descriptions_.push_back({m.id, kind, m.label, 0, 0, 0, 0, m.style});
    }
    std::vector<const ControlDescription*> all;
    for (const ControlDescription& desc : dialog.controls)
        all.push_back(&desc);
    for (const ControlDescription& desc : menu_descriptions_)
        all.push_back(&desc);
    for (const ControlDescription* selector : all) {
        const ControlDescription& desc = *selector;
        if (desc.id == no_id)
            continue;
        HeadlessControl c;
        c.desc = &desc;
        c.enabled = (desc.style & starts_disabled) == 0;
        if (desc.kind == ControlKind::static_text)
            c.text = std::string(desc.label);
        controls_[desc.id] = std::move(c);
        order_.push_back(desc.id);
    }
    // When a dialog opens, the first radio button of each group is checked.
    for (int id : order_) {
        HeadlessControl& c = controls_[id];
        if (c.desc->kind == ControlKind::radio && (c.desc->style & group_start))
            c.checked = true;
    }
}

HeadlessControl* HeadlessPlatform::find(int id) {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
}

HeadlessControl* HeadlessPlatform::find(int id, std::initializer_list<ControlKind> kinds) {
    HeadlessControl* c = find(id);
    if (!c)
        return nullptr;
    for (ControlKind k : kinds)
        if (c->desc->kind == k)
            return c;
    return nullptr;
}

const HeadlessControl* HeadlessPlatform::control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
}

bool HeadlessPlatform::get_text(int id, std::string& text) {
    HeadlessControl* c =
        find(id, {ControlKind::edit, ControlKind::drop_list, ControlKind::static_text});
    if (!c)
        return false;
    text = c->text;
    return true;
}

bool HeadlessPlatform::set_text(int id, std::string_view text) {
    HeadlessControl* c = find(id, {ControlKind::edit, ControlKind::static_text});
    if (!c)
        return false;
    c->text = std::string(text);
    return true;
}

bool HeadlessPlatform::set_item_count(int id, int count) {
    HeadlessControl* c = find(id, {ControlKind::drop_list});
    if (!c || count < 0)
        return false;
    c->items.resize(static_cast<std::size_t>(count));
    return true;
}

bool HeadlessPlatform::set_item_text(int id, int index, std::string_view text) {
    HeadlessControl* c = find(id, {ControlKind::drop_list});
    if (!c || index < 1 || index > static_cast<int>(c->items.size()))
        return false;
    c->items[static_cast<std::size_t>(index - 1)] = std::string(text);
    return true;
}

bool HeadlessPlatform::select_item(int id, std::string_view text) {
    HeadlessControl* c = find(id, {ControlKind::drop_list});
    if (!c)
        return false;
    for (const std::string& item : c->items)
        if (item == text) {
            c->text = item;
            return true;
        }
    return false;
}

bool HeadlessPlatform::get_checked(int id, bool& checked) {
    HeadlessControl* c = find(id, {ControlKind::radio, ControlKind::check});
    if (!c)
        return false;
    checked = c->checked;
    return true;
}

bool HeadlessPlatform::set_checked(int id, bool checked) {
    HeadlessControl* c = find(id, {ControlKind::radio, ControlKind::check});
    if (!c)
        return false;
    if (c->desc->kind == ControlKind::radio && checked) {
        // Clear the other buttons of the group: from the group's start to the next start.
        std::size_t at = 0;
        while (order_[at] != id)
            ++at;
        std::size_t first = at;
        while (first > 0 && !(controls_[order_[first]].desc->style & group_start))
            --first;
        for (std::size_t i = first; i < order_.size(); ++i) {
            HeadlessControl& other = controls_[order_[i]];
            if (i > first && (other.desc->style & group_start))
                break;
            if (other.desc->kind == ControlKind::radio)
                other.checked = false;
        }
    }
    c->checked = checked;
    return true;
}

bool HeadlessPlatform::get_enabled(int id, bool& enabled) {
    HeadlessControl* c = find(id);
    if (!c)
        return false;
    enabled = c->enabled;
    return true;
}

bool HeadlessPlatform::set_enabled(int id, bool enabled) {
    HeadlessControl* c = find(id);
    if (!c)
        return false;
    c->enabled = enabled;
    if (c->desc->kind == ControlKind::static_text)
        trace_.push_back((enabled ? "enable " : "disable ") + std::to_string(id));
    return true;
}

bool HeadlessPlatform::get_spin_position(int id, int& position) {
    HeadlessControl* c = find(id, {ControlKind::spin});
    if (!c)
        return false;
    position = c->position;
    return true;
}

bool HeadlessPlatform::set_spin_position(int id, int position) {
    HeadlessControl* c = find(id, {ControlKind::spin});
    if (!c)
        return false;
    c->position = std::clamp(position, c->lowest, std::max(c->lowest, c->highest));
    return true;
}

bool HeadlessPlatform::get_spin_range(int id, int& lowest, int& highest) {
    HeadlessControl* c = find(id, {ControlKind::spin});
    if (!c)
        return false;
    lowest = c->lowest;
    highest = c->highest;
    return true;
}

bool HeadlessPlatform::set_spin_range(int id, int lowest, int highest) {
    HeadlessControl* c = find(id, {ControlKind::spin});
    if (!c)
        return false;
    c->lowest = lowest;
    c->highest = highest;
    // Like an up-down control, the position stays inside the new range.
    c->position = std::clamp(c->position, lowest, std::max(lowest, highest));
    return true;
}

void HeadlessPlatform::attach(int id, Event event, Action action) {
    if (HeadlessControl* c = find(id))
        c->actions[event] = std::move(action);
}

void HeadlessPlatform::attach_destroyed(std::function<void()> action) {
    destroyed_ = std::move(action);
}

void HeadlessPlatform::flush() {
    trace_.emplace_back("flush");
}

void HeadlessPlatform::close_dialog() {
    if (closed_)
        return;
    closed_ = true;
    if (destroyed_)
        destroyed_();
}

void HeadlessPlatform::attach_close_request(std::function<bool()> may_close) {
    close_request_ = std::move(may_close);
}

bool HeadlessPlatform::user_close() {
    if (closed_)
        return false;
    if (close_request_) {
        std::function<bool()> ask = close_request_; // the question may re-attach
        if (!ask())
            return true;
    }
    close_dialog();
    return true;
}

void HeadlessPlatform::record(HeadlessRecord r) {
    records_.push_back(std::move(r));
    if (on_record)
        on_record(records_.back());
}

void HeadlessPlatform::show_message(std::string_view caption, std::string_view text) {
    HeadlessRecord r;
    r.kind = HeadlessRecord::Kind::message;
    r.caption = caption;
    r.text = text;
    record(std::move(r));
}

bool HeadlessPlatform::ask_yes_no(std::string_view caption, std::string_view text) {
    HeadlessRecord r;
    r.kind = HeadlessRecord::Kind::ask;
    r.caption = caption;
    r.text = text;
    r.answer = true; // an unqueued prompt is answered Yes
    if (!answers_.empty()) {
        r.answer = answers_.front();
        answers_.pop_front();
    }
    bool answer = r.answer;
    record(std::move(r));
    return answer;
}

KeepAnswer HeadlessPlatform::ask_save_discard(std::string_view caption, std::string_view text) {
    KeepAnswer answer = KeepAnswer::save; // an unqueued question is answered Save
    if (!keeps_.empty()) {
        answer = keeps_.front();
        keeps_.pop_front();
    }
    HeadlessRecord r;
    r.kind = HeadlessRecord::Kind::ask;
    r.caption = caption;
    r.text = text;
    r.choice = answer == KeepAnswer::save      ? "save"
               : answer == KeepAnswer::discard ? "discard"
                                               : "cancel";
    record(std::move(r));
    return answer;
}

PlotterResult HeadlessPlatform::start_plotter(const std::string& directory,
                                              const std::string& program,
                                              const std::string& script) {
    HeadlessRecord r;
    r.kind = HeadlessRecord::Kind::launch;
    r.cwd = directory;
    r.program = program;
    r.script = script;
    return launch(std::move(r),
                  [&] { return process::run_plotter_process(directory, program, script, {}); });
}

// A launch is recorded when the plotter starts: always in the simulated modes, only when the
// real program could be started otherwise.
PlotterResult HeadlessPlatform::launch(HeadlessRecord r,
                                       const std::function<PlotterResult()>& run_real) {
    trace_.emplace_back("launch");
    switch (plotter_mode_) {
    case PlotterMode::succeed:
        record(std::move(r));
        return {PlotterStatus::finished, {}};
    case PlotterMode::fail:
        record(std::move(r));
        return {PlotterStatus::not_started, {}};
    case PlotterMode::real:
        break;
    }
    PlotterResult result = run_real();
    if (result.status != PlotterStatus::not_started)
        record(std::move(r));
    return result;
}

void HeadlessPlatform::attach_key_filter(int id, KeyFilter filter) {
    if (HeadlessControl* c = find(id, {ControlKind::edit}))
        c->key_filter = std::move(filter);
}

void HeadlessPlatform::show_hint(int id, std::string_view text) {
    hints_.push_back(std::to_string(id) + " " + std::string(text));
}

PlotterResult HeadlessPlatform::start_plotter_on_text(const std::string& directory,
                                                      const std::string& program,
                                                      const std::string& script_text, bool wait) {
    HeadlessRecord r;
    r.kind = HeadlessRecord::Kind::launch;
    r.cwd = directory;
    r.program = program;
    r.script = "-";
    r.script_text = script_text;
    r.wait = wait;
    return launch(std::move(r), [&] {
        return process::run_plotter_on_text(directory, program, script_text, wait);
    });
}

void HeadlessPlatform::set_tooltip(int id, std::string_view text) {
    tooltips_[id] = std::string(text);
}

std::string HeadlessPlatform::tooltip(int id) const {
    auto it = tooltips_.find(id);
    return it == tooltips_.end() ? std::string() : it->second;
}

void HeadlessPlatform::set_enter_button(int edit, int button) {
    enter_buttons_[edit] = button;
}

void HeadlessPlatform::set_status(std::string_view text, bool warning, std::string_view detail) {
    // A status line that stays as it is is no event.
    if (text == status_ && warning == status_warning_ && detail == status_detail_)
        return;
    status_ = std::string(text);
    status_warning_ = warning;
    status_detail_ = std::string(detail);
    HeadlessRecord r;
    r.kind = HeadlessRecord::Kind::status;
    r.text = status_;
    r.answer = warning;
    record(std::move(r));
}

namespace {

std::string lower_extension(std::string_view path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && slash > dot))
        return {};
    std::string ext(path.substr(dot));
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

} // namespace

std::optional<std::string> HeadlessPlatform::next_file(std::string caption) {
    std::optional<std::string> path;
    if (!files_.empty()) {
        path = files_.front();
        files_.pop_front();
    }
    HeadlessRecord r;
    r.kind = HeadlessRecord::Kind::question;
    r.caption = std::move(caption);
    r.text = path.value_or("");
    record(std::move(r));
    return path;
}

std::optional<FileAnswer> HeadlessPlatform::ask_file(const FileQuestion& question) {
    const std::optional<std::string> path = next_file(question.title);
    if (!path)
        return std::nullopt;
    // The filter whose pattern names the path's extension, else the first.
    FileAnswer answer{*path, 0};
    const std::string ext = lower_extension(*path);
    for (std::size_t i = 0; !ext.empty() && i < question.filters.size(); ++i)
        if (question.filters[i].find("*" + ext) != std::string::npos) {
            answer.filter = i;
            break;
        }
    return answer;
}

std::optional<FigureFileAnswer>
HeadlessPlatform::ask_figure_file(const FigureFileAnswer& suggestion) {
    const std::optional<std::string> path = next_file("Export figure");
    if (!path)
        return std::nullopt;
    FigureFileAnswer answer = suggestion;
    answer.path = *path;
    const std::string ext = lower_extension(*path);
    // The format the name's extension says, at its default size.
    if (ext == ".pdf" || ext == ".svg" || ext == ".png")
        answer.format = store::FigureFormat{ext == ".pdf"   ? store::FigureOutput::pdf
                                            : ext == ".svg" ? store::FigureOutput::svg
                                                            : store::FigureOutput::png};
    return answer;
}

std::optional<std::string> HeadlessPlatform::ask_folder(std::string_view title, std::string_view) {
    return next_file(std::string(title));
}

std::optional<std::size_t> HeadlessPlatform::ask_choice(std::string_view caption, std::string_view,
                                                        const std::vector<std::string>& items) {
    std::optional<std::size_t> item;
    if (!choices_.empty()) {
        item = choices_.front();
        choices_.pop_front();
    }
    if (item && *item >= items.size())
        item.reset();
    HeadlessRecord r;
    r.kind = HeadlessRecord::Kind::question;
    r.caption = caption;
    r.text = item ? items[*item] : std::string();
    record(std::move(r));
    return item;
}

void HeadlessPlatform::show_document(DocumentKind, std::string_view title, std::string_view text) {
    documents_.emplace_back(std::string(title), std::string(text));
    HeadlessRecord r;
    r.kind = HeadlessRecord::Kind::window;
    r.caption = title;
    record(std::move(r));
}

void HeadlessPlatform::show_comparison(ComparisonPanel& panel) {
    comparison_ = &panel;
    HeadlessRecord r;
    r.kind = HeadlessRecord::Kind::window;
    r.caption = "Comparison";
    record(std::move(r));
}

void HeadlessPlatform::comparison_changed() {
    ++comparison_refreshes_;
}

bool HeadlessPlatform::user_enter(int id) {
    HeadlessControl* c = find(id, {ControlKind::edit});
    if (!c || !c->enabled || closed_)
        return false;
    auto it = enter_buttons_.find(id);
    if (it != enter_buttons_.end())
        return user_click(it->second);
    for (const ControlDescription& desc : dialog_.controls)
        if (desc.kind == ControlKind::default_push)
            return user_click(desc.id);
    return true;
}

void HeadlessPlatform::run(HeadlessControl& c, int id, Event event) {
    auto it = c.actions.find(event);
    if (it != c.actions.end() && it->second) {
        Action action = it->second; // the action may re-attach
        action(id, event);
    }
}

bool HeadlessPlatform::user_type(int id, std::string_view text) {
    HeadlessControl* c = find(id, {ControlKind::edit});
    if (!c || !c->enabled || closed_)
        return false;
    // Replacing the whole text takes keys that type no character (select all, paste).
    if (c->key_filter)
        c->key_filter(id, KeyPress{});
    c->text = std::string(text);
    run(*c, id, Event::text_changed);
    return true;
}

bool HeadlessPlatform::user_keys(int id, std::string_view text) {
    HeadlessControl* c = find(id, {ControlKind::edit});
    if (!c || !c->enabled || closed_)
        return false;
    // One keystroke per character (a UTF-8 sequence is one character), typed after the text.
    for (std::size_t at = 0; at < text.size() && !closed_;) {
        std::size_t length = 1;
        while (at + length < text.size() &&
               (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80)
            ++length;
        const KeyPress key{std::string(text.substr(at, length)), false};
        at += length;
        if (c->key_filter && !c->key_filter(id, key))
            continue;
        c->text += key.typed;
        run(*c, id, Event::text_changed);
    }
    return true;
}

bool HeadlessPlatform::user_leave(int id) {
    HeadlessControl* c = find(id, {ControlKind::edit});
    if (!c || closed_)
        return false;
    if (c->key_filter)
        c->key_filter(id, KeyPress{{}, true});
    return true;
}

bool HeadlessPlatform::user_click(int id) {
    HeadlessControl* c = find(
        id, {ControlKind::push, ControlKind::default_push, ControlKind::radio, ControlKind::check});
    if (!c || !c->enabled || closed_)
        return false;
    switch (c->desc->kind) {
    case ControlKind::check:
        c->checked = !c->checked;
        break;
    case ControlKind::radio:
        set_checked(id, true);
        break;
    default:
        // A push button without an action of its own closes the dialog.
        if (c->actions.find(Event::clicked) == c->actions.end())
            return user_close();
        break;
    }
    run(*c, id, Event::clicked);
    return true;
}

bool HeadlessPlatform::user_select(int id, std::string_view item_text) {
    HeadlessControl* c = find(id, {ControlKind::drop_list});
    if (!c || !c->enabled || closed_)
        return false;
    for (const std::string& item : c->items)
        if (trim_right(item) == trim_right(item_text)) {
            c->text = item;
            run(*c, id, Event::selection_changed);
            return true;
        }
    return false;
}

bool HeadlessPlatform::user_spin(int id, int position) {
    HeadlessControl* c = find(id, {ControlKind::spin});
    if (!c || !c->enabled || closed_)
        return false;
    c->position = std::clamp(position, c->lowest, std::max(c->lowest, c->highest));
    run(*c, id, Event::position_changed);
    return true;
}

} // namespace sigmat::platform
