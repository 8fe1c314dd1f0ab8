#include "platform/qt/qt_platform.h"

#include "platform/qt/qt_windows.h"
#include "process/plotter_process.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QStyleOption>
#include <QStylePainter>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>
#include <QWindow>
#include <qdrawutil.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace sigmat::platform {
namespace {

// Enter (Return or the keypad's Enter) in an edit presses a button of its own.
class EnterKey final : public QObject {
  public:
    EnterKey(QObject* parent, std::function<void()> press)
        : QObject(parent), press_(std::move(press)) {}

  protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
                press_();
                return true;
            }
        }
        return QObject::eventFilter(target, event);
    }

  private:
    std::function<void()> press_;
};

// Reports the keys pressed in an edit before the edit takes them, and its loss of focus.
class EditKeys final : public QObject {
  public:
    EditKeys(QObject* parent, std::function<bool(const KeyPress&)> report)
        : QObject(parent), report_(std::move(report)) {}

  protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        if (event->type() == QEvent::FocusOut) {
            report_(KeyPress{{}, true});
            return false;
        }
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(target, event);
        auto* key = static_cast<QKeyEvent*>(event);
        // Shortcuts (select all, paste, undo) change the text as a whole: keys that type no
        // character.
        KeyPress press;
        const QString text = key->text();
        if (!(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) &&
            !text.isEmpty() && text.at(0).isPrint())
            press.typed = from_qt(text);
        return !report_(press);
    }

  private:
    std::function<bool(const KeyPress&)> report_;
};

// Lets the menu's shortcuts through an edit. A line edit claims some of them for bindings of
// its own (Ctrl+E ends the line, Ctrl+D deletes, Ctrl+K cuts to the end on X11), which would
// leave the menu's entries dead wherever the user is typing, in most of the dialog.
class MenuShortcuts final : public QObject {
  public:
    MenuShortcuts(QObject* parent, std::function<bool(const QKeySequence&)> is_menu_shortcut)
        : QObject(parent), is_menu_shortcut_(std::move(is_menu_shortcut)) {}

  protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride &&
            is_menu_shortcut_(QKeySequence(static_cast<QKeyEvent*>(event)->keyCombination()))) {
            event->ignore(); // not the edit's: the shortcut goes to the menu
            return true;
        }
        return QObject::eventFilter(target, event);
    }

  private:
    std::function<bool(const QKeySequence&)> is_menu_shortcut_;
};

// A narrow up-down control without text of its own: an up arrow over a down arrow. It
// holds a position inside [lowest, max(lowest, highest)]; the program sets range and
// position silently, and only a step of the user (arrow click, arrow key, wheel) that
// moves the position is reported.
class UpDown final : public QWidget {
  public:
    explicit UpDown(QWidget* parent) : QWidget(parent) {
        setFocusPolicy(Qt::StrongFocus);
        repeat_.setSingleShot(false);
        QObject::connect(&repeat_, &QTimer::timeout, this, [this] {
            repeat_.setInterval(repeat_interval_ms);
            step(pressed_);
        });
    }

    std::function<void()> on_user_step;

    int position() const { return position_; }
    int lowest() const { return lowest_; }
    int highest() const { return highest_; }

    void set_position(int position) {
        position_ = clamped(position);
        update();
    }
    void set_range(int lowest, int highest) {
        lowest_ = lowest;
        highest_ = highest;
        position_ = clamped(position_);
        update();
    }

    QSize sizeHint() const override {
        int h = fontMetrics().height();
        return {h * 3 / 4, h + 8};
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        const int half = height() / 2;
        const QRect halves[2] = {QRect(0, 0, width(), half),
                                 QRect(0, half, width(), height() - half)};
        for (int i = 0; i < 2; ++i) {
            const int direction = i == 0 ? +1 : -1;
            QStyleOptionButton button;
            button.initFrom(this);
            button.rect = halves[i];
            button.state &= ~QStyle::State_HasFocus;
            button.state |= pressed_ == direction ? QStyle::State_Sunken : QStyle::State_Raised;
            painter.drawPrimitive(QStyle::PE_PanelButtonCommand, button);
            QStyleOption arrow;
            arrow.initFrom(this);
            const int inset = std::max(1, std::min(halves[i].width(), halves[i].height()) / 5);
            arrow.rect = halves[i].adjusted(inset, inset, -inset, -inset);
            if (pressed_ == direction)
                arrow.rect.translate(1, 1);
            painter.drawPrimitive(
                direction > 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown, arrow);
        }
        if (hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = rect().adjusted(1, 1, -1, -1);
            painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) {
            QWidget::mousePressEvent(event);
            return;
        }
        pressed_ = event->position().y() < height() / 2.0 ? +1 : -1;
        update();
        step(pressed_);
        repeat_.start(repeat_delay_ms);
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) {
            QWidget::mouseReleaseEvent(event);
            return;
        }
        release();
    }

    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
        case Qt::Key_Up:
            step(+1);
            break;
        case Qt::Key_Down:
            step(-1);
            break;
        default:
            QWidget::keyPressEvent(event); // Enter, Escape, Tab: the dialog's business
            break;
        }
    }

    void wheelEvent(QWheelEvent* event) override {
        const int dy = event->angleDelta().y();
        if (dy != 0)
            step(dy > 0 ? +1 : -1);
        event->accept();
    }

    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::EnabledChange && !isEnabled())
            release();
        QWidget::changeEvent(event);
    }

    void focusOutEvent(QFocusEvent* event) override {
        release();
        QWidget::focusOutEvent(event);
    }

  private:
    static constexpr int repeat_delay_ms = 400;
    static constexpr int repeat_interval_ms = 60;

    int clamped(int position) const {
        return std::clamp(position, lowest_, std::max(lowest_, highest_));
    }

    void release() {
        repeat_.stop();
        if (pressed_ != 0) {
            pressed_ = 0;
            update();
        }
    }

    void step(int direction) {
        if (direction == 0)
            return;
        const int next = clamped(position_ + direction);
        if (next == position_)
            return;
        position_ = next;
        update();
        if (on_user_step)
            on_user_step();
    }

    int lowest_ = 0;
    int highest_ = 100;
    int position_ = 0;
    int pressed_ = 0; // +1 up arrow held, -1 down arrow held
    QTimer repeat_;
};

// Swallows keyboard and mouse input for as long as it lives, application-wide: while the
// plotter runs, nothing the user does in the dialog may start another action, nor be
// replayed once the plotter has ended.
class InputBlocker final : public QObject {
  public:
    InputBlocker() { qApp->installEventFilter(this); }
    ~InputBlocker() override { qApp->removeEventFilter(this); }
    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;

  protected:
    bool eventFilter(QObject* target, QEvent* event) override {
        if (!target->isWidgetType() && !target->isWindowType())
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
            return true;
        default:
            return false;
        }
    }
};

// A group frame drawn as the dialog was designed: the title sits on the frame's top line,
// half a text line below the control's top. (Most styles put the title above the line,
// which would push the line down onto the controls placed just inside it.)
class GroupFrame final : public QGroupBox {
  public:
    GroupFrame(const QString& title, QWidget* parent) : QGroupBox(title, parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        const QFontMetrics metrics = fontMetrics();
        // An etched line, as a group frame is drawn in every style that has none of its own
        // for a title on the line.
        qDrawShadeRect(&painter, rect().adjusted(0, metrics.height() / 2, 0, 0), palette(), true, 1,
                       0);
        if (title().isEmpty())
            return;
        const int pad = std::max(2, metrics.averageCharWidth() / 2);
        const QRect text(metrics.averageCharWidth(), 0,
                         std::min(metrics.horizontalAdvance(title()) + 2 * pad,
                                  width() - 2 * metrics.averageCharWidth()),
                         metrics.height());
        painter.fillRect(text, palette().brush(QPalette::Window));
        style()->drawItemText(&painter, text, Qt::AlignCenter | Qt::TextHideMnemonic, palette(),
                              isEnabled(), title(), QPalette::WindowText);
    }
};

// Controls whose text must not be cut by the control's own edge or its neighbour.
bool has_text_to_fit(ControlKind kind) {
    switch (kind) {
    case ControlKind::label:
    case ControlKind::static_text:
    case ControlKind::radio:
    case ControlKind::check:
    case ControlKind::push:
    case ControlKind::default_push:
        return true;
    default:
        return false;
    }
}

// Dialog units from a control's left edge to the nearest control to its right that
// shares some of its rows, to the right edge of the frame around it, or to the dialog's
// edge. A label without a height counts as one text line (8 units).
int room_to_right(const DialogDescription& dialog, const ControlDescription& c) {
    constexpr int line = 8;
    auto bottom = [](const ControlDescription& s) { return s.y + (s.h > 0 ? s.h : line); };
    int room = dialog.w - c.x;
    for (const ControlDescription& o : dialog.controls) {
        if (&o == &c)
            continue;
        if (o.kind == ControlKind::group_frame) {
            const bool inside = c.x >= o.x && c.x < o.x + o.w && c.y >= o.y && c.y < o.y + o.h;
            if (inside)
                room = std::min(room, o.x + o.w - c.x - 2);
        } else if (o.x > c.x && o.y < bottom(c) && c.y < bottom(o)) {
            room = std::min(room, o.x - c.x);
        }
    }
    return std::max(room, 1);
}

// "MS Sans Serif" where installed, otherwise the system's sans-serif face, at the
// description's point size.
QFont dialog_font(const DialogDescription& dialog) {
    const QString family = to_qt(dialog.font);
    QFont font;
    if (QFontDatabase::families().contains(family, Qt::CaseInsensitive)) {
        font = QFont(family);
    } else {
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setStyleHint(QFont::SansSerif);
    }
    font.setPointSize(dialog.font_points > 0 ? dialog.font_points : 10);
    return font;
}

} // namespace

// The top-level window. Escape does not close it (a stray key must not end the program);
// the window's close button ends the program like Exit, unless an action is running.
class QtPlatform::Dialog final : public QDialog {
  public:
    explicit Dialog(QtPlatform& owner) : owner_(owner) {}

    void reject() override {}

  protected:
    void closeEvent(QCloseEvent* event) override {
        if (owner_.close_requested())
            event->accept();
        else
            event->ignore();
    }

    void resizeEvent(QResizeEvent* event) override {
        QDialog::resizeEvent(event);
        owner_.fit_width(event->size().width());
    }

  private:
    QtPlatform& owner_;
};

QtPlatform::QtPlatform(const DialogDescription& dialog) : dialog_(std::make_unique<Dialog>(*this)) {
    // The application's icon is every window's that sets none of its own: file dialogs and
    // message boxes too.
    QApplication::setWindowIcon(window_icon());
    dialog_->setWindowIcon(QApplication::windowIcon());
    build(dialog);
}

QtPlatform::~QtPlatform() {
    // The widgets die with the dialog; no action may run from their last signals.
    closed_ = true;
    comparison_.reset();
    document_.reset();
    controls_.clear();
    menus_.clear();
}

QDialog* QtPlatform::dialog() const {
    return dialog_.get();
}

QWidget* QtPlatform::widget(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second.widget;
}

int QtPlatform::x_pixels(int dialog_units) const {
    return static_cast<int>(std::lround(dialog_units * unit_x_));
}

int QtPlatform::y_pixels(int dialog_units) const {
    return static_cast<int>(std::lround(dialog_units * unit_y_));
}

void QtPlatform::build(const DialogDescription& dialog) {
    Dialog* d = dialog_.get();
    d->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                      Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    d->setWindowTitle(to_qt(dialog.title));
    const QFont font = dialog_font(dialog);
    d->setFont(font);
    const QFontMetrics metrics(font);
    unit_x_ = std::max(1, metrics.averageCharWidth()) / 4.0;
    unit_y_ = std::max(1, metrics.height()) / 8.0;

    // The widgets first, in table order (so that frames lie behind the controls drawn
    // on them); their size hints decide the horizontal unit, then all are placed.
    std::vector<QWidget*> widgets;
    QButtonGroup* group = nullptr;
    for (const ControlDescription& desc : dialog.controls) {
        if (desc.style & group_start)
            group = nullptr; // radio groups run from one group start to the next
        QWidget* w = create(desc, group);
        if (desc.style & starts_disabled)
            w->setEnabled(false);
        widgets.push_back(w);
        if (desc.id != no_id) {
            Control c;
            c.desc = &desc;
            c.widget = w;
            if (desc.kind == ControlKind::radio)
                c.group = group;
            controls_[desc.id] = std::move(c);
        }
    }

    // The table was laid out for a narrow font and small check-box indicators; with a
    // wider face or a roomier style a label would be cut. The horizontal unit grows until
    // every text fits in the room before its right-hand neighbour, so the layout keeps
    // its proportions and no text is cut.
    constexpr int text_gap = 2; // pixels between a text's end and the next control
    for (std::size_t i = 0; i < widgets.size(); ++i) {
        const ControlDescription& desc = dialog.controls[i];
        if (!has_text_to_fit(desc.kind))
            continue;
        widgets[i]->ensurePolished();
        const int needed = widgets[i]->sizeHint().width() + text_gap;
        unit_x_ = std::max(unit_x_, needed / static_cast<double>(room_to_right(dialog, desc)));
    }

    // The menu bar above the controls, which move down by its height; the status line below
    // them.
    build_menus(dialog);
    top_ = menu_bar_->sizeHint().height();
    menu_bar_->setGeometry(0, 0, x_pixels(dialog.w), top_);
    for (std::size_t i = 0; i < widgets.size(); ++i)
        place(dialog, dialog.controls[i], widgets[i]);
    status_ = new QLabel(d);
    status_->setObjectName("status");
    status_->setTextFormat(Qt::PlainText);
    status_->setFrameShape(QFrame::StyledPanel);
    status_->setFrameShadow(QFrame::Sunken);
    status_->setIndent(metrics.averageCharWidth() / 2);
    // Two lines: a long message (a coverage warning with its states) wraps instead of being
    // cut, and what still does not fit is in its tooltip.
    status_->setWordWrap(true);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int status_height = 2 * metrics.lineSpacing() + 8;
    const int bottom = top_ + y_pixels(dialog.h);
    status_->setGeometry(0, bottom, x_pixels(dialog.w), status_height);
    // Wider, never narrower nor higher: the controls keep their places.
    d->setMinimumSize(x_pixels(dialog.w), bottom + status_height);
    d->setMaximumHeight(bottom + status_height);
    d->resize(d->minimumSize());
    d->move(x_pixels(dialog.x), y_pixels(dialog.y));
}

void QtPlatform::fit_width(int width) {
    if (menu_bar_)
        menu_bar_->resize(width, menu_bar_->height());
    if (status_)
        status_->resize(width, status_->height());
}

void QtPlatform::build_menus(const DialogDescription& dialog) {
    menu_bar_ = new QMenuBar(dialog_.get());
    menu_bar_->setObjectName("menus");
    QMenu* menu = nullptr;
    QActionGroup* group = nullptr;
    for (const MenuDescription& m : dialog.menus) {
        const QString label = to_qt(m.label);
        if (m.kind == MenuKind::title) {
            menu = menu_bar_->addMenu(label);
            group = nullptr;
            continue;
        }
        if (menu == nullptr)
            continue;
        if (m.kind == MenuKind::separator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(label);
        if (!m.shortcut.empty())
            action->setShortcut(QKeySequence(to_qt(m.shortcut)));
        if (m.kind == MenuKind::check || m.kind == MenuKind::radio)
            action->setCheckable(true);
        if (m.kind == MenuKind::radio) {
            if (group == nullptr || (m.style & group_start)) {
                group = new QActionGroup(action);
                group->setParent(menu);
                group->setExclusive(true);
                action->setChecked(true); // the first of a group starts checked
            }
            group->addAction(action);
        }
        const int id = m.id;
        // triggered comes from the user (a click, a shortcut), never from setChecked.
        QObject::connect(action, &QAction::triggered, dialog_.get(), [this, id](bool) {
            if (closed_ || plotting_)
                return;
            auto it = menus_.find(id);
            if (it == menus_.end())
                return;
            auto run_it = it->second.actions.find(Event::clicked);
            if (run_it == it->second.actions.end() || !run_it->second)
                return;
            Action run_action = run_it->second;
            ++action_depth_;
            run_action(id, Event::clicked);
            --action_depth_;
        });
        if (id != no_id)
            menus_[id] = MenuEntry{&m, action, {}};
    }
}

QtPlatform::MenuEntry* QtPlatform::find_menu(int id, std::initializer_list<MenuKind> kinds) {
    auto it = menus_.find(id);
    if (it == menus_.end())
        return nullptr;
    if (kinds.size() == 0)
        return &it->second;
    for (MenuKind k : kinds)
        if (it->second.desc->kind == k)
            return &it->second;
    return nullptr;
}

QAction* QtPlatform::menu_action(int id) const {
    auto it = menus_.find(id);
    return it == menus_.end() ? nullptr : it->second.action;
}

QWidget* QtPlatform::comparison_window() const {
    return comparison_.get();
}

QWidget* QtPlatform::document_window() const {
    return document_.get();
}

QWidget* QtPlatform::create(const ControlDescription& desc, QButtonGroup*& group) {
    Dialog* d = dialog_.get();
    const QString label = to_qt(desc.label);
    const int id = desc.id;
    switch (desc.kind) {
    case ControlKind::group_frame:
        return new GroupFrame(label, d);
    case ControlKind::label:
    case ControlKind::static_text: {
        auto* text = new QLabel(label, d);
        text->setTextFormat(Qt::PlainText);
        const Qt::Alignment horizontal = (desc.style & centred)       ? Qt::AlignHCenter
                                         : (desc.style & align_right) ? Qt::AlignRight
                                                                      : Qt::AlignLeft;
        text->setAlignment(horizontal | Qt::AlignTop);
        return text;
    }
    case ControlKind::edit: {
        auto* edit = new QLineEdit(d);
        edit->setAlignment(((desc.style & align_right) ? Qt::AlignRight : Qt::AlignLeft) |
                           Qt::AlignVCenter);
        QObject::connect(edit, &QLineEdit::textEdited, d,
                         [this, id](const QString&) { run(id, Event::text_changed); });
        edit->installEventFilter(new MenuShortcuts(edit, [this](const QKeySequence& keys) {
            for (const auto& [entry, m] : menus_)
                if (!m.action->shortcut().isEmpty() && m.action->shortcut() == keys)
                    return true;
            return false;
        }));
        return edit;
    }
    case ControlKind::spin: {
        auto* spin = new UpDown(d);
        spin->on_user_step = [this, id] { run(id, Event::position_changed); };
        return spin;
    }
    case ControlKind::drop_list: {
        auto* list = new QComboBox(d);
        list->setEditable(false);
        QObject::connect(list, &QComboBox::activated, d,
                         [this, id](int) { run(id, Event::selection_changed); });
        return list;
    }
    case ControlKind::radio: {
        auto* radio = new QRadioButton(label, d);
        if (!group) {
            group = new QButtonGroup(d);
            group->setExclusive(true);
            // When a dialog opens, the first radio button of each group is checked.
            radio->setChecked(true);
        }
        group->addButton(radio);
        QObject::connect(radio, &QAbstractButton::clicked, d,
                         [this, id](bool) { run(id, Event::clicked); });
        return radio;
    }
    case ControlKind::check: {
        auto* check = new QCheckBox(label, d);
        QObject::connect(check, &QAbstractButton::clicked, d,
                         [this, id](bool) { run(id, Event::clicked); });
        return check;
    }
    case ControlKind::push:
    case ControlKind::default_push: {
        auto* push = new QPushButton(label, d);
        push->setAutoDefault(true);
        // The first default button is the dialog's default: Enter in an edit presses it.
        if (desc.kind == ControlKind::default_push) {
            const bool first = std::none_of(controls_.begin(), controls_.end(), [](const auto& e) {
                return e.second.desc->kind == ControlKind::default_push;
            });
            push->setDefault(first);
        }
        QObject::connect(push, &QAbstractButton::clicked, d,
                         [this, id](bool) { push_clicked(id); });
        return push;
    }
    }
    return new QWidget(d);
}

void QtPlatform::place(const DialogDescription& dialog, const ControlDescription& desc,
                       QWidget* w) {
    QRect rect(x_pixels(desc.x), top_ + y_pixels(desc.y), x_pixels(desc.w), y_pixels(desc.h));
    if (desc.kind == ControlKind::label && (desc.w <= 0 || desc.h <= 0)) {
        // A label without a size of its own takes its text's.
        rect.setSize(w->sizeHint());
    } else if (has_text_to_fit(desc.kind)) {
        // A text longer than its control may run on into the free room to its right.
        const int room = x_pixels(room_to_right(dialog, desc));
        rect.setWidth(std::max(rect.width(), std::min(w->sizeHint().width(), room)));
    }
    if (auto* list = qobject_cast<QComboBox*>(w)) {
        // The description's height is that of the opened list; the closed box takes the
        // style's own height, and the list shows as many items as fit below it.
        const int closed = std::min(rect.height(), list->sizeHint().height());
        const int row = std::max(1, list->fontMetrics().height() + 2);
        list->setMaxVisibleItems(std::max(1, (rect.height() - closed) / row));
        rect.setHeight(closed);
    }
    w->setGeometry(rect);
}

QtPlatform::Control* QtPlatform::find(int id, std::initializer_list<ControlKind> kinds) {
    auto it = controls_.find(id);
    if (it == controls_.end())
        return nullptr;
    if (kinds.size() == 0)
        return &it->second;
    for (ControlKind k : kinds)
        if (it->second.desc->kind == k)
            return &it->second;
    return nullptr;
}

void QtPlatform::run(int id, Event event) {
    if (closed_ || plotting_)
        return;
    Control* c = find(id, {});
    if (!c)
        return;
    auto it = c->actions.find(event);
    if (it == c->actions.end() || !it->second)
        return;
    Action action = it->second; // the action may attach another one in its place
    ++action_depth_;
    action(id, event);
    --action_depth_;
}

void QtPlatform::push_clicked(int id) {
    if (closed_ || plotting_)
        return;
    Control* c = find(id, {});
    if (!c)
        return;
    // A push button without an action of its own closes the dialog.
    if (c->actions.find(Event::clicked) == c->actions.end()) {
        if (may_close())
            close_dialog();
        return;
    }
    run(id, Event::clicked);
}

bool QtPlatform::may_close() {
    if (!close_request_)
        return true;
    std::function<bool()> ask = close_request_; // the question may re-attach
    ++action_depth_;
    const bool yes = ask();
    --action_depth_;
    return yes;
}

bool QtPlatform::close_requested() {
    if (closed_)
        return true;
    // A job is running (a message box of its own, or the plotter): the window stays.
    if (action_depth_ > 0 || plotting_)
        return false;
    if (!may_close())
        return false;
    if (closed_)
        return true;
    closed_ = true;
    if (destroyed_)
        destroyed_();
    return true;
}

bool QtPlatform::get_text(int id, std::string& text) {
    Control* c = find(id, {ControlKind::edit, ControlKind::drop_list, ControlKind::static_text});
    if (!c)
        return false;
    if (auto* edit = qobject_cast<QLineEdit*>(c->widget))
        text = from_qt(edit->text());
    else if (auto* list = qobject_cast<QComboBox*>(c->widget))
        text = list->currentIndex() < 0 ? std::string() : from_qt(list->currentText());
    else if (auto* label = qobject_cast<QLabel*>(c->widget))
        text = from_qt(label->text());
    else
        return false;
    return true;
}

bool QtPlatform::set_text(int id, std::string_view text) {
    Control* c = find(id, {ControlKind::edit, ControlKind::static_text});
    if (!c)
        return false;
    if (auto* edit = qobject_cast<QLineEdit*>(c->widget))
        edit->setText(to_qt(text)); // emits textChanged, never textEdited
    else if (auto* label = qobject_cast<QLabel*>(c->widget))
        label->setText(to_qt(text));
    else
        return false;
    return true;
}

bool QtPlatform::set_item_count(int id, int count) {
    Control* c = find(id, {ControlKind::drop_list});
    if (!c || count < 0)
        return false;
    auto* list = static_cast<QComboBox*>(c->widget);
    const int before = list->currentIndex();
    while (list->count() > count)
        list->removeItem(list->count() - 1);
    while (list->count() < count)
        list->addItem(QString());
    // Adding items to an empty box would select the first one; the selection stays
    // empty until the program or the user picks an item.
    if (before < 0)
        list->setCurrentIndex(-1);
    return true;
}

bool QtPlatform::set_item_text(int id, int index, std::string_view text) {
    Control* c = find(id, {ControlKind::drop_list});
    if (!c)
        return false;
    auto* list = static_cast<QComboBox*>(c->widget);
    if (index < 1 || index > list->count())
        return false;
    list->setItemText(index - 1, to_qt(text));
    return true;
}

bool QtPlatform::select_item(int id, std::string_view text) {
    Control* c = find(id, {ControlKind::drop_list});
    if (!c)
        return false;
    auto* list = static_cast<QComboBox*>(c->widget);
    const QString wanted = to_qt(text);
    for (int i = 0; i < list->count(); ++i)
        if (list->itemText(i) == wanted) {
            list->setCurrentIndex(i); // emits currentIndexChanged, never activated
            return true;
        }
    return false;
}

bool QtPlatform::get_checked(int id, bool& checked) {
    if (MenuEntry* m = find_menu(id, {MenuKind::check, MenuKind::radio})) {
        checked = m->action->isChecked();
        return true;
    }
    Control* c = find(id, {ControlKind::radio, ControlKind::check});
    if (!c)
        return false;
    checked = static_cast<QAbstractButton*>(c->widget)->isChecked();
    return true;
}

bool QtPlatform::set_checked(int id, bool checked) {
    if (MenuEntry* m = find_menu(id, {MenuKind::check, MenuKind::radio})) {
        QActionGroup* group = m->action->actionGroup();
        if (group && !checked && m->action->isChecked()) {
            group->setExclusive(false);
            m->action->setChecked(false);
            group->setExclusive(true);
        } else {
            m->action->setChecked(checked); // emits toggled, never triggered
        }
        return true;
    }
    Control* c = find(id, {ControlKind::radio, ControlKind::check});
    if (!c)
        return false;
    auto* button = static_cast<QAbstractButton*>(c->widget);
    if (c->group && !checked && button->isChecked()) {
        // An exclusive group refuses to clear its checked button; the program may.
        c->group->setExclusive(false);
        button->setChecked(false);
        c->group->setExclusive(true);
    } else {
        button->setChecked(checked); // in a group, checking one clears the others
    }
    return true;
}

bool QtPlatform::get_enabled(int id, bool& enabled) {
    if (MenuEntry* m = find_menu(id, {})) {
        enabled = m->action->isEnabled();
        return true;
    }
    Control* c = find(id, {});
    if (!c)
        return false;
    enabled = c->widget->isEnabledTo(dialog_.get());
    return true;
}

bool QtPlatform::set_enabled(int id, bool enabled) {
    if (MenuEntry* m = find_menu(id, {})) {
        m->action->setEnabled(enabled);
        return true;
    }
    Control* c = find(id, {});
    if (!c)
        return false;
    c->widget->setEnabled(enabled);
    return true;
}

bool QtPlatform::get_spin_position(int id, int& position) {
    Control* c = find(id, {ControlKind::spin});
    if (!c)
        return false;
    position = static_cast<UpDown*>(c->widget)->position();
    return true;
}

bool QtPlatform::set_spin_position(int id, int position) {
    Control* c = find(id, {ControlKind::spin});
    if (!c)
        return false;
    static_cast<UpDown*>(c->widget)->set_position(position);
    return true;
}

bool QtPlatform::get_spin_range(int id, int& lowest, int& highest) {
    Control* c = find(id, {ControlKind::spin});
    if (!c)
        return false;
    auto* spin = static_cast<UpDown*>(c->widget);
    lowest = spin->lowest();
    highest = spin->highest();
    return true;
}

bool QtPlatform::set_spin_range(int id, int lowest, int highest) {
    Control* c = find(id, {ControlKind::spin});
    if (!c)
        return false;
    static_cast<UpDown*>(c->widget)->set_range(lowest, highest);
    return true;
}

void QtPlatform::attach(int id, Event event, Action action) {
    if (MenuEntry* m = find_menu(id, {}))
        m->actions[event] = std::move(action);
    else if (Control* c = find(id, {}))
        c->actions[event] = std::move(action);
}

void QtPlatform::attach_destroyed(std::function<void()> action) {
    destroyed_ = std::move(action);
}

void QtPlatform::flush() {
    dialog_->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtPlatform::attach_close_request(std::function<bool()> may_close) {
    close_request_ = std::move(may_close);
}

void QtPlatform::close_dialog() {
    if (closed_)
        return;
    closed_ = true;
    dialog_->close();
    if (destroyed_)
        destroyed_();
}

void QtPlatform::show_dialog() {
    dialog_->show();
    dialog_->activateWindow();
}

void QtPlatform::show_message(std::string_view caption, std::string_view text) {
    QMessageBox box(QMessageBox::NoIcon, to_qt(caption), to_qt(text), QMessageBox::Ok, nullptr);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtPlatform::ask_yes_no(std::string_view caption, std::string_view text) {
    QMessageBox box(QMessageBox::NoIcon, to_qt(caption), to_qt(text),
                    QMessageBox::Yes | QMessageBox::No, nullptr);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

KeepAnswer QtPlatform::ask_save_discard(std::string_view caption, std::string_view text) {
    QMessageBox box(QMessageBox::NoIcon, to_qt(caption), to_qt(text),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, nullptr);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return KeepAnswer::save;
    case QMessageBox::Discard:
        return KeepAnswer::discard;
    default:
        return KeepAnswer::cancel;
    }
}

void QtPlatform::attach_key_filter(int id, KeyFilter filter) {
    Control* c = find(id, {ControlKind::edit});
    if (!c)
        return;
    c->key_filter = std::move(filter);
    if (!c->key_watcher) {
        c->key_watcher = new EditKeys(c->widget, [this, id](const KeyPress& key) {
            auto it = controls_.find(id);
            if (closed_ || it == controls_.end() || !it->second.key_filter)
                return true;
            KeyFilter f = it->second.key_filter; // the filter may re-attach
            return f(id, key);
        });
        c->widget->installEventFilter(c->key_watcher);
    }
}

void QtPlatform::show_hint(int id, std::string_view text) {
    QWidget* w = widget(id);
    if (w == nullptr)
        return;
    QToolTip::showText(w->mapToGlobal(QPoint(0, w->height())), to_qt(text), w);
}

PlotterResult QtPlatform::start_plotter(const std::string& directory, const std::string& program,
                                        const std::string& script) {
    // The dialog keeps painting while the plotter runs; its input is dropped, both the
    // input that Qt would hold back until later and any that reaches a widget directly.
    InputBlocker blocker;
    plotting_ = true;
    PlotterResult result = process::run_plotter_process(directory, program, script, [] {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    // Deliver what was held back while the blocker still swallows it.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    plotting_ = false;
    return result;
}

PlotterResult QtPlatform::start_plotter_on_text(const std::string& directory,
                                                const std::string& program,
                                                const std::string& script_text, bool wait) {
    if (!wait)
        return process::run_plotter_on_text(directory, program, script_text, false);
    // A figure rendered to a file: short, and the dialog takes no input meanwhile.
    InputBlocker blocker;
    plotting_ = true;
    PlotterResult result = process::run_plotter_on_text(directory, program, script_text, true);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    plotting_ = false;
    return result;
}

void QtPlatform::set_tooltip(int id, std::string_view text) {
    if (QWidget* w = widget(id))
        w->setToolTip(to_qt(text));
}

void QtPlatform::set_enter_button(int edit, int button) {
    Control* c = find(edit, {ControlKind::edit});
    if (!c || !find(button, {ControlKind::push, ControlKind::default_push}))
        return;
    auto* filter = new EnterKey(c->widget, [this, button] { push_clicked(button); });
    c->widget->installEventFilter(filter);
}

void QtPlatform::set_status(std::string_view text, bool warning, std::string_view detail) {
    status_->setText(to_qt(text));
    status_->setToolTip(to_qt(detail.empty() ? text : detail));
    QPalette palette = dialog_->palette();
    if (warning)
        palette.setColor(QPalette::WindowText, QColor(0xb0, 0x30, 0x00));
    status_->setPalette(palette);
}

std::optional<FileAnswer> QtPlatform::ask_file(const FileQuestion& question) {
    QStringList filters;
    for (const std::string& f : question.filters)
        filters << to_qt(f);
    QFileDialog files(dialog_.get(), to_qt(question.title), to_qt(question.suggested));
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setAcceptMode(question.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    files.setFileMode(question.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    files.setNameFilters(filters);
    if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
        return std::nullopt;
    const qsizetype filter = std::max<qsizetype>(0, filters.indexOf(files.selectedNameFilter()));
    return FileAnswer{from_qt(files.selectedFiles().front()), static_cast<std::size_t>(filter)};
}

std::optional<std::string> QtPlatform::ask_folder(std::string_view title, std::string_view start) {
    QFileDialog files(dialog_.get(), to_qt(title), to_qt(start));
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setOption(QFileDialog::ShowDirsOnly);
    files.setFileMode(QFileDialog::Directory);
    files.setAcceptMode(QFileDialog::AcceptOpen);
    if (files.exec() != QDialog::Accepted || files.selectedFiles().isEmpty())
        return std::nullopt;
    return from_qt(files.selectedFiles().front());
}

std::optional<FigureFileAnswer> QtPlatform::ask_figure_file(const FigureFileAnswer& suggestion) {
    FigureFileDialog ask(suggestion, dialog_.get());
    if (ask.exec() != QDialog::Accepted)
        return std::nullopt;
    return ask.answer();
}

std::optional<std::size_t> QtPlatform::ask_choice(std::string_view caption, std::string_view text,
                                                  const std::vector<std::string>& items) {
    QStringList list;
    for (const std::string& item : items)
        list << to_qt(item);
    bool ok = false;
    const QString chosen =
        QInputDialog::getItem(dialog_.get(), to_qt(caption), to_qt(text), list, 0, false, &ok);
    const auto index = list.indexOf(chosen);
    if (!ok || index < 0)
        return std::nullopt;
    return static_cast<std::size_t>(index);
}

void QtPlatform::show_document(DocumentKind kind, std::string_view title, std::string_view text) {
    if (kind == DocumentKind::about) {
        QMessageBox box(QMessageBox::NoIcon, to_qt(title), to_qt(text), QMessageBox::Ok,
                        dialog_.get());
        box.setObjectName("about");
        box.setTextFormat(Qt::PlainText);
        box.setTextInteractionFlags(Qt::TextSelectableByMouse);
        box.exec();
        return;
    }
    document_ = std::make_unique<DocumentWindow>(to_qt(title), to_qt(text));
    document_->show();
    document_->raise();
}

void QtPlatform::show_comparison(ComparisonPanel& panel) {
    auto* window = static_cast<ComparisonWindow*>(comparison_.get());
    if (window == nullptr || &window->panel() != &panel) {
        comparison_ = std::make_unique<ComparisonWindow>(panel);
        window = static_cast<ComparisonWindow*>(comparison_.get());
    }
    window->refresh();
    window->show();
    window->raise();
    window->activateWindow();
}

void QtPlatform::comparison_changed() {
    if (auto* window = static_cast<ComparisonWindow*>(comparison_.get()))
        window->refresh();
}

std::string QtPlatform::toolkit() const {
    return std::string("Qt ") + qVersion();
}

} // namespace sigmat::platform
