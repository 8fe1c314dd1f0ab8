// The real dialog: a modeless Qt dialog built from a dialog description, with every
// control at its place in dialog units, and the platform operations on top of it.
//
// Only the user's own input runs an action: the edits report textEdited, the buttons
// clicked, the list activated, and the up-down controls report only steps that the user
// made. Everything the program sets goes through setters that emit none of these.
//
// While the plotter runs, the dialog keeps repainting but takes no input: keyboard and
// mouse events that reach it meanwhile are dropped, and a close request is refused.
//
// The window can be widened: the controls keep their places, the menu bar and the status line
// take the width. The menu's shortcuts act wherever the focus is in the window, in an edit
// too (whose own bindings, such as Ctrl+E for the end of the line, give way to them). Every
// window has Sigmat's icon.
#pragma once

#include "platform/dialog_description.h"
#include "platform/platform.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

class QAction;
class QDialog;
class QLabel;
class QMenuBar;
class QObject;
class QWidget;
class QButtonGroup;

namespace sigmat::platform {

class QtPlatform final : public Platform {
  public:
    // Builds the dialog (hidden) at its place; show_dialog() shows it modeless.
    explicit QtPlatform(const DialogDescription& dialog);
    ~QtPlatform() override;
    QtPlatform(const QtPlatform&) = delete;
    QtPlatform& operator=(const QtPlatform&) = delete;

    // Platform
    bool get_text(int id, std::string& text) override;
    bool set_text(int id, std::string_view text) override;
    bool set_item_count(int id, int count) override;
    bool set_item_text(int id, int index, std::string_view text) override;
    bool select_item(int id, std::string_view text) override;
    bool get_checked(int id, bool& checked) override;
    bool set_checked(int id, bool checked) override;
    bool get_enabled(int id, bool& enabled) override;
    bool set_enabled(int id, bool enabled) override;
    bool get_spin_position(int id, int& position) override;
    bool set_spin_position(int id, int position) override;
    bool get_spin_range(int id, int& lowest, int& highest) override;
    bool set_spin_range(int id, int lowest, int highest) override;
    void attach(int id, Event event, Action action) override;
    void attach_destroyed(std::function<void()> action) override;
    void flush() override;
    void close_dialog() override;
    void attach_close_request(std::function<bool()> may_close) override;
    void show_message(std::string_view caption, std::string_view text) override;
    bool ask_yes_no(std::string_view caption, std::string_view text) override;
    KeepAnswer ask_save_discard(std::string_view caption, std::string_view text) override;
    void attach_key_filter(int id, KeyFilter filter) override;
    void show_hint(int id, std::string_view text) override;
    PlotterResult start_plotter(const std::string& directory, const std::string& program,
                                const std::string& script) override;
    PlotterResult start_plotter_on_text(const std::string& directory, const std::string& program,
                                        const std::string& script_text, bool wait) override;
    void set_tooltip(int id, std::string_view text) override;
    void set_enter_button(int edit, int button) override;
    using Platform::set_status;
    void set_status(std::string_view text, bool warning, std::string_view detail) override;
    std::optional<FileAnswer> ask_file(const FileQuestion& question) override;
    std::optional<FigureFileAnswer> ask_figure_file(const FigureFileAnswer& suggestion) override;
    std::optional<std::string> ask_folder(std::string_view title, std::string_view start) override;
    std::optional<std::size_t> ask_choice(std::string_view caption, std::string_view text,
                                          const std::vector<std::string>& items) override;
    void show_document(DocumentKind kind, std::string_view title, std::string_view text) override;
    void show_comparison(ComparisonPanel& panel) override;
    void comparison_changed() override;
    std::string toolkit() const override;

    void show_dialog();
    bool closed() const { return closed_; }
    bool plotter_running() const { return plotting_; }

    // For tests: the dialog and the widget of a control id (null for an unknown id), the menu
    // bar and a menu entry's action, the status line, the comparison window and the last
    // document window (null until shown).
    QDialog* dialog() const;
    QWidget* widget(int id) const;
    QMenuBar* menu_bar() const { return menu_bar_; }
    QAction* menu_action(int id) const;
    QLabel* status_line() const { return status_; }
    QWidget* comparison_window() const;
    QWidget* document_window() const;

    // Pixels of a length in dialog units, horizontally and vertically, in the dialog's font.
    int x_pixels(int dialog_units) const;
    int y_pixels(int dialog_units) const;

  private:
    struct Control {
        const ControlDescription* desc = nullptr;
        QWidget* widget = nullptr;
        QButtonGroup* group = nullptr; // radio buttons: the exclusive group they belong to
        std::map<Event, Action> actions;
        KeyFilter key_filter;
        QObject* key_watcher = nullptr; // owned by the widget
    };

    struct MenuEntry {
        const MenuDescription* desc = nullptr;
        QAction* action = nullptr;
        std::map<Event, Action> actions;
    };

    void build(const DialogDescription& dialog);
    void build_menus(const DialogDescription& dialog);
    MenuEntry* find_menu(int id, std::initializer_list<MenuKind> kinds);
    QWidget* create(const ControlDescription& desc, QButtonGroup*& group);
    void place(const DialogDescription& dialog, const ControlDescription& desc, QWidget* widget);
    Control* find(int id, std::initializer_list<ControlKind> kinds);
    void run(int id, Event event);
    void push_clicked(int id);
    bool close_requested();    // the window's close button; true when the window may close
    bool may_close();          // the close request's answer, with the dialog held meanwhile
    void fit_width(int width); // the menu bar and the status line across the window

    class Dialog;
    std::unique_ptr<Dialog> dialog_;
    std::map<int, Control> controls_;
    std::map<int, MenuEntry> menus_;
    QMenuBar* menu_bar_ = nullptr;
    QLabel* status_ = nullptr;
    int top_ = 0; // pixels of the menu bar above the controls
    std::unique_ptr<QWidget> comparison_;
    std::unique_ptr<QWidget> document_;
    std::function<void()> destroyed_;
    std::function<bool()> close_request_;
    double unit_x_ = 1.0; // pixels per dialog unit
    double unit_y_ = 1.0;
    int action_depth_ = 0;
    bool plotting_ = false;
    bool closed_ = false;
};

} // namespace sigmat::platform
