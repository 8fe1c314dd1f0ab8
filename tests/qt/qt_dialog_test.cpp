// The real dialog on the offscreen platform: built whole from its description, laid out
// without cut texts, silent when the program sets values, and running the actions on the
// user's own input only. The last case runs the real start-up in a temporary profile.
#include "app/application.h"
#include "app/resources/main_dialog_description.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_windows.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolTip>
#include <QtTest>

#include <functional>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

using sigmat::platform::ControlDescription;
using sigmat::platform::ControlKind;
using sigmat::platform::Event;
using sigmat::platform::no_id;
using sigmat::platform::QtPlatform;
using sigmat::process::PlotterStatus;
namespace id = sigmat::app::id;

namespace {

const sigmat::platform::DialogDescription& description() {
    return sigmat::app::main_dialog_description();
}

// Every action of every control, counted.
struct Recorder {
    std::vector<std::pair<int, Event>> events;

    void attach_everywhere(QtPlatform& p, bool including_pushes) {
        for (const ControlDescription& c : description().controls) {
            if (c.id == no_id)
                continue;
            const bool push = c.kind == ControlKind::push || c.kind == ControlKind::default_push;
            if (push && !including_pushes)
                continue;
            for (Event e : {Event::clicked, Event::text_changed, Event::selection_changed,
                            Event::position_changed})
                p.attach(c.id, e,
                         [this](int control, Event event) { events.emplace_back(control, event); });
        }
    }
    int count(int control, Event event) const {
        return static_cast<int>(
            std::count(events.begin(), events.end(), std::pair{control, event}));
    }
};

bool is_kind(QWidget* w, ControlKind kind) {
    switch (kind) {
    case ControlKind::edit:
        return qobject_cast<QLineEdit*>(w) != nullptr;
    case ControlKind::drop_list: {
        auto* list = qobject_cast<QComboBox*>(w);
        return list && !list->isEditable();
    }
    case ControlKind::radio:
        return qobject_cast<QRadioButton*>(w) != nullptr;
    case ControlKind::check:
        return qobject_cast<QCheckBox*>(w) != nullptr;
    case ControlKind::push:
    case ControlKind::default_push:
        return qobject_cast<QPushButton*>(w) != nullptr;
    case ControlKind::static_text:
    case ControlKind::label:
        return qobject_cast<QLabel*>(w) != nullptr;
    case ControlKind::spin:
        // An up-down control of its own: no text, narrower than it is high.
        return w && !qobject_cast<QLineEdit*>(w) && w->findChildren<QLineEdit*>().isEmpty() &&
               w->width() < w->height();
    case ControlKind::group_frame:
        return qobject_cast<QGroupBox*>(w) != nullptr;
    }
    return false;
}

QString label_of(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    return {};
}

// A comparison list of plain names that records what the window asked of it.
struct FakePanel final : sigmat::platform::ComparisonPanel {
    std::vector<std::string> names = {"a", "b", "c"};
    std::vector<std::string> calls;
    std::vector<sigmat::platform::ComparisonRow> rows() const override {
        std::vector<sigmat::platform::ComparisonRow> out;
        for (const std::string& n : names)
            out.push_back({n, "source of " + n});
        return out;
    }
    void relabel(std::size_t row, std::string_view label) override {
        calls.push_back("relabel " + std::to_string(row) + " " + std::string(label));
        names[row] = std::string(label);
    }
    void remove(std::size_t row) override {
        calls.push_back("remove " + std::to_string(row));
        names.erase(names.begin() + static_cast<std::ptrdiff_t>(row));
    }
    void move(std::size_t row, std::size_t to) override {
        calls.push_back("move " + std::to_string(row) + " " + std::to_string(to));
        std::swap(names[row], names[to]);
    }
    void add_current() override { calls.push_back("add current"); }
    void add_file() override { calls.push_back("add file"); }
    void plot_together() override { calls.push_back("plot"); }
    void export_figure() override { calls.push_back("export figure"); }
    void export_data() override { calls.push_back("export data"); }
    void clear() override { calls.push_back("clear"); }
};

} // namespace

class QtDialogTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QtPlatform> platform_;

    QtPlatform& shown() {
        platform_->show_dialog();
        if (!QTest::qWaitForWindowExposed(platform_->dialog()))
            qFatal("the dialog was not shown");
        return *platform_;
    }

  private slots:
    void init() { platform_ = std::make_unique<QtPlatform>(description()); }
    void cleanup() { platform_.reset(); }

    void buildsEveryControlFromTheDescription() {
        QtPlatform& p = *platform_;
        QCOMPARE(p.dialog()->windowTitle(), QString("Sigmat"));
        std::set<int> first_radios = {id::dea, id::version4};
        for (const ControlDescription& c : description().controls) {
            if (c.id == no_id)
                continue;
            const QString where = QString("control %1").arg(c.id);
            QWidget* w = p.widget(c.id);
            QVERIFY2(w, qPrintable(where + " is missing"));
            QVERIFY2(is_kind(w, c.kind), qPrintable(where + " has the wrong kind"));
            if (!c.label.empty())
                QCOMPARE(label_of(w), QString::fromUtf8(c.label.data(), qsizetype(c.label.size())));
            bool enabled = false;
            QVERIFY(p.get_enabled(c.id, enabled));
            QCOMPARE(enabled, (c.style & sigmat::platform::starts_disabled) == 0);
            if (c.kind == ControlKind::radio) {
                bool checked = false;
                QVERIFY(p.get_checked(c.id, checked));
                QCOMPARE(checked, first_radios.count(c.id) == 1);
            }
        }
        QVERIFY(static_cast<QPushButton*>(p.widget(id::plot_single))->isDefault());
        QCOMPARE(static_cast<QLabel*>(p.widget(id::wait_label))->alignment() & Qt::AlignHCenter,
                 Qt::AlignHCenter);

        // The frames and labels without an id are there too, each once.
        QStringList frames, labels;
        for (auto* g : p.dialog()->findChildren<QGroupBox*>())
            frames << g->title();
        for (auto* l : p.dialog()->findChildren<QLabel*>())
            labels << l->text();
        for (const ControlDescription& c : description().controls) {
            const QString text = QString::fromUtf8(c.label.data(), qsizetype(c.label.size()));
            if (c.kind == ControlKind::group_frame)
                QCOMPARE(frames.count(text), 1);
            if (c.kind == ControlKind::label)
                QVERIFY2(labels.contains(text), qPrintable(text));
        }

        // Unknown ids and operations on controls of another kind fail.
        std::string text;
        bool flag = false;
        int n = 0;
        QVERIFY(!p.widget(4242));
        QVERIFY(!p.get_text(4242, text));
        QVERIFY(!p.get_text(id::resolution, text));
        QVERIFY(!p.set_text(id::molecule_list, "H2"));
        QVERIFY(!p.get_checked(id::vib_initial, flag));
        QVERIFY(!p.set_spin_position(id::vib_initial, 1));
        QVERIFY(!p.get_spin_position(id::save_setup, n));
        QVERIFY(!p.set_item_count(id::vib_initial_spin, 2));
    }

    void layoutKeepsTextsWholeAndSpinsBesideTheirEdits() {
        QtPlatform& p = shown();
        const QRect inside = p.dialog()->rect();
        for (QWidget* w : p.dialog()->findChildren<QWidget*>()) {
            if (!w->isVisible() || w->parentWidget() != p.dialog())
                continue;
            QVERIFY2(inside.contains(w->geometry()), qPrintable(label_of(w)));
            if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w))
                QVERIFY2(w->width() >= w->sizeHint().width(),
                         qPrintable("cut text: " + label_of(w)));
        }
        // A label must end before the control to its right on the same line.
        const std::pair<const char*, int> label_then_edit[] = {
            {"Vibrational state", id::vib_initial},
            {"Database directory", id::database_dir},
            {"gnuplot directory", id::gnuplot_dir},
            {"Molecule", id::molecule_list}};
        for (auto [text, control] : label_then_edit) {
            QLabel* label = nullptr;
            for (auto* l : p.dialog()->findChildren<QLabel*>())
                if (l->text() == text)
                    label = l;
            QVERIFY(label);
            QVERIFY2(label->geometry().right() < p.widget(control)->x(), text);
        }
        for (auto [edit, spin] : {std::pair{id::vib_initial, id::vib_initial_spin},
                                  {id::rot_initial, id::rot_initial_spin},
                                  {id::vib_final, id::vib_final_spin}}) {
            const QRect e = p.widget(edit)->geometry();
            const QRect s = p.widget(spin)->geometry();
            QCOMPARE(s.top(), e.top());
            QVERIFY(std::abs(s.left() - (e.right() + 1)) <= 3);
            QVERIFY(s.width() * 2 < e.width());
        }
    }

    void valuesSetByTheProgramRunNoAction() {
        QtPlatform& p = shown();
        Recorder r;
        r.attach_everywhere(p, true);

        std::string text;
        for (const ControlDescription& c : description().controls) {
            if (c.kind == ControlKind::edit) {
                QVERIFY(p.set_text(c.id, " 7"));
                QVERIFY(p.get_text(c.id, text));
                QCOMPARE(text, std::string(" 7"));
            }
            if (c.kind == ControlKind::check || c.kind == ControlKind::radio) {
                QVERIFY(p.set_checked(c.id, true));
                QVERIFY(p.set_checked(c.id, false));
            }
            if (c.id != no_id)
                QVERIFY(p.set_enabled(c.id, true));
        }
        QVERIFY(p.set_text(id::wait_label, "Wait"));

        // The list: no selection until one is made; selecting by exact text only.
        QVERIFY(p.set_item_count(id::molecule_list, 3));
        for (int k = 1; k <= 3; ++k)
            QVERIFY(p.set_item_text(id::molecule_list, k, std::string("M") + char('0' + k) + " "));
        QVERIFY(!p.set_item_text(id::molecule_list, 4, "M4"));
        QVERIFY(!p.set_item_text(id::molecule_list, 0, "M0"));
        QVERIFY(p.get_text(id::molecule_list, text));
        QCOMPARE(text, std::string());
        QVERIFY(p.select_item(id::molecule_list, "M2 "));
        QVERIFY(!p.select_item(id::molecule_list, "M3"));
        QVERIFY(p.get_text(id::molecule_list, text));
        QCOMPARE(text, std::string("M2 "));

        // Spins: the position stays inside the range, whatever sets it.
        struct SpinCase {
            int lowest, highest, set, expected;
        };
        const SpinCase spin_cases[] = {{0, 10, 7, 7}, {0, 10, 12, 10}, {0, 10, -1, 0},
                                       {2, 5, 9, 5},  {0, 3, 3, 3},    {4, 1, 3, 4}};
        for (const SpinCase& c : spin_cases) {
            QVERIFY(p.set_spin_range(id::vib_initial_spin, c.lowest, c.highest));
            QVERIFY(p.set_spin_position(id::vib_initial_spin, c.set));
            int pos = -99, lo = -99, hi = -99;
            QVERIFY(p.get_spin_position(id::vib_initial_spin, pos));
            QVERIFY(p.get_spin_range(id::vib_initial_spin, lo, hi));
            QCOMPARE(pos, c.expected);
            QCOMPARE(std::pair(lo, hi), std::pair(c.lowest, c.highest));
        }
        QVERIFY(p.set_spin_range(id::vib_initial_spin, 0, 10));
        QVERIFY(p.set_spin_position(id::vib_initial_spin, 8));
        QVERIFY(p.set_spin_range(id::vib_initial_spin, 0, 4)); // lowering keeps it inside
        int pos = 0;
        QVERIFY(p.get_spin_position(id::vib_initial_spin, pos));
        QCOMPARE(pos, 4);

        // A radio button checked by the program clears its group only.
        bool checked = false;
        QVERIFY(p.set_checked(id::version_older, true));
        QVERIFY(p.set_checked(id::aed, true));
        QVERIFY(p.set_checked(id::ve, true));
        QVERIFY(p.get_checked(id::aed, checked) && !checked);
        QVERIFY(p.get_checked(id::version_older, checked) && checked);

        QCOMPARE(r.events.size(), std::size_t(0));
        QVERIFY(!p.closed());
    }

    void userInputRunsTheActions() {
        QtPlatform& p = shown();
        Recorder r;
        r.attach_everywhere(p, true);
        p.set_item_count(id::molecule_list, 3);
        for (int k = 1; k <= 3; ++k)
            p.set_item_text(id::molecule_list, k, std::string("M") + char('0' + k));
        p.select_item(id::molecule_list, "M1");
        p.set_spin_range(id::vib_initial_spin, 0, 3);
        p.set_spin_position(id::vib_initial_spin, 2);
        QWidget* spin = p.widget(id::vib_initial_spin);

        struct Gesture {
            const char* what;
            std::function<void()> act;
            int control;
            Event event;
            int times;
        };
        const std::vector<Gesture> gestures = {
            {"typing into an edit", [&] { QTest::keyClicks(p.widget(id::vib_initial), "2.7"); },
             id::vib_initial, Event::text_changed, 3},
            {"clicking a radio button",
             [&] { QTest::mouseClick(p.widget(id::aed), Qt::LeftButton); }, id::aed, Event::clicked,
             1},
            {"clicking a check box",
             [&] { QTest::mouseClick(p.widget(id::energy_range), Qt::LeftButton); },
             id::energy_range, Event::clicked, 1},
            {"clicking a push button with an action",
             [&] { QTest::mouseClick(p.widget(id::save_setup), Qt::LeftButton); }, id::save_setup,
             Event::clicked, 1},
            {"picking a list item",
             [&] { QTest::keyClick(p.widget(id::molecule_list), Qt::Key_Down); }, id::molecule_list,
             Event::selection_changed, 1},
            {"arrow key on a spin", [&] { QTest::keyClick(spin, Qt::Key_Up); },
             id::vib_initial_spin, Event::position_changed, 1},
            {"arrow key at the spin's limit", [&] { QTest::keyClick(spin, Qt::Key_Up); },
             id::vib_initial_spin, Event::position_changed, 0},
            {"clicking the spin's lower arrow",
             [&] {
                 QTest::mouseClick(spin, Qt::LeftButton, {},
                                   QPoint(spin->width() / 2, spin->height() - 3));
             },
             id::vib_initial_spin, Event::position_changed, 1},
            {"typing into a disabled edit", [&] { QTest::keyClicks(p.widget(id::fwhm), "5"); },
             id::fwhm, Event::text_changed, 0},
        };
        for (const Gesture& g : gestures) {
            r.events.clear();
            g.act();
            QVERIFY2(r.count(g.control, g.event) == g.times, g.what);
            QVERIFY2(r.events.size() == std::size_t(g.times), g.what);
        }

        // What the actions found when they ran.
        std::string text;
        bool checked = false;
        int pos = 0;
        QVERIFY(p.get_text(id::vib_initial, text));
        QCOMPARE(text, std::string("2.7"));
        QVERIFY(p.get_checked(id::aed, checked) && checked);
        QVERIFY(p.get_checked(id::dea, checked) && !checked);
        QVERIFY(p.get_checked(id::energy_range, checked) && checked);
        QVERIFY(p.get_text(id::molecule_list, text));
        QCOMPARE(text, std::string("M2"));
        QVERIFY(p.get_spin_position(id::vib_initial_spin, pos));
        QCOMPARE(pos, 2);
        QVERIFY(p.get_text(id::fwhm, text));
        QCOMPARE(text, std::string());
        QVERIFY(p.dialog()->isVisible());
    }

    void closingEndsTheDialogOnce() {
        // Exit has no action of its own: its click closes the dialog. So does the window's
        // close button; Escape does not.
        const std::vector<std::pair<const char*, std::function<void(QtPlatform&)>>> ways = {
            {"push button without action",
             [](QtPlatform& p) { QTest::mouseClick(p.widget(id::exit_button), Qt::LeftButton); }},
            {"window close button", [](QtPlatform& p) { p.dialog()->close(); }},
            {"program", [](QtPlatform& p) { p.close_dialog(); }},
        };
        for (const auto& [what, close] : ways) {
            platform_ = std::make_unique<QtPlatform>(description());
            QtPlatform& p = shown();
            int destroyed = 0;
            p.attach_destroyed([&] { ++destroyed; });
            QTest::keyClick(p.dialog(), Qt::Key_Escape);
            QVERIFY2(p.dialog()->isVisible() && destroyed == 0, what);
            close(p);
            QVERIFY2(p.closed() && !p.dialog()->isVisible() && destroyed == 1, what);
            p.close_dialog();
            QVERIFY2(destroyed == 1, what);
        }
    }

    void windowStaysWhileAnActionRuns() {
        QtPlatform& p = shown();
        int destroyed = 0;
        bool closed_inside = true;
        p.attach_destroyed([&] { ++destroyed; });
        p.attach(id::save_setup, Event::clicked, [&](int, Event) {
            p.dialog()->close();
            closed_inside = p.closed();
        });
        QTest::mouseClick(p.widget(id::save_setup), Qt::LeftButton);
        QVERIFY(!closed_inside);
        QVERIFY(p.dialog()->isVisible());
        QCOMPARE(destroyed, 0);
    }

#ifndef Q_OS_WIN
    void plotterRunTakesNoInput() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString program = dir.filePath("slow-plotter");
        {
            QFile f(program);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("#!/bin/sh\nsleep 0.6\n");
        }
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray old_term = qgetenv("GNUTERM");
        qputenv("GNUTERM", "dumb"); // the offscreen platform has no display

        QtPlatform& p = shown();
        Recorder r;
        r.attach_everywhere(p, true);
        int destroyed = 0;
        p.attach_destroyed([&] { ++destroyed; });
        bool was_running = false;
        QTimer::singleShot(150, [&] {
            was_running = p.plotter_running();
            QTest::mouseClick(p.widget(id::save_setup), Qt::LeftButton);
            QTest::mouseClick(p.widget(id::energy_range), Qt::LeftButton);
            QTest::keyClicks(p.widget(id::temp_vib), "12");
            p.dialog()->close();
        });
        auto result = p.start_plotter(dir.path().toStdString(), program.toStdString(), "plot.gp");
        auto missing = p.start_plotter(dir.path().toStdString(),
                                       dir.filePath("no-such-plotter").toStdString(), "plot.gp");
        qputenv("GNUTERM", old_term);

        QVERIFY(was_running);
        QCOMPARE(result.status, PlotterStatus::finished);
        QCOMPARE(missing.status, PlotterStatus::not_started);
        QCOMPARE(r.events.size(), std::size_t(0));
        bool checked = true;
        QVERIFY(p.get_checked(id::energy_range, checked) && !checked);
        std::string text;
        QVERIFY(p.get_text(id::temp_vib, text) && text.empty());
        QVERIFY(p.dialog()->isVisible() && !p.closed() && destroyed == 0);

        // Afterwards the dialog takes input again.
        QTest::mouseClick(p.widget(id::save_setup), Qt::LeftButton);
        QCOMPARE(r.count(id::save_setup, Event::clicked), 1);
    }
#endif

    void realStartUpInATemporaryProfile() {
        QTemporaryDir profile, start;
        QVERIFY(profile.isValid() && start.isValid());
        const QByteArray old_profile = qgetenv("USERPROFILE");
        const QString old_cwd = QDir::currentPath();
        qputenv("USERPROFILE", QFile::encodeName(profile.path()));
        QVERIFY(QDir::setCurrent(start.path()));

        QtPlatform& p = *platform_;
        sigmat::app::Application app;
        int ended = 0;
        const bool started = sigmat::app::start_application(p, app, [&] { ++ended; });
        QDir::setCurrent(old_cwd);
        qputenv("USERPROFILE", old_profile);
        QVERIFY(started);
        QVERIFY(QFile::exists(profile.filePath("Sigmat/Sigmat.ini")));
        shown();

        // Typed key by key, the decimal point and the digits after it are refused: the
        // state stays a whole number.
        QWidget* vib = p.widget(id::vib_initial);
        QTest::keyClick(vib, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(vib, "2.7");
        std::string text;
        int pos = 0;
        QVERIFY(p.get_text(id::vib_initial, text));
        QCOMPARE(text, std::string("2"));
        QVERIFY(p.get_spin_position(id::vib_initial_spin, pos));
        QCOMPARE(pos, 2);

        // The process buttons switch the state controls.
        const int states[] = {id::vib_initial,      id::vib_initial_spin, id::rot_initial,
                              id::rot_initial_spin, id::vib_final,        id::vib_final_spin};
        auto enabled_states = [&] {
            QString pattern;
            for (int s : states) {
                bool on = false;
                p.get_enabled(s, on);
                pattern += on ? '1' : '0';
            }
            return pattern;
        };
        QCOMPARE(enabled_states(), QString("111100"));
        QTest::mouseClick(p.widget(id::aed_total), Qt::LeftButton);
        QCOMPARE(enabled_states(), QString("000000"));
        QTest::mouseClick(p.widget(id::ve), Qt::LeftButton);
        QCOMPARE(enabled_states(), QString("111111"));
        QTest::mouseClick(p.widget(id::dea), Qt::LeftButton);
        QCOMPARE(enabled_states(), QString("111100"));

        // Keys refused by a whole-number field say what the field takes.
        QTest::mouseClick(p.widget(id::resolution), Qt::LeftButton);
        QWidget* fwhm = p.widget(id::fwhm);
        QTest::keyClick(fwhm, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(fwhm, "12.75");
        QVERIFY(p.get_text(id::fwhm, text));
        QCOMPARE(text, std::string("12"));
        QVERIFY(QToolTip::text().contains("999"));

        QTest::mouseClick(p.widget(id::exit_button), Qt::LeftButton);
        QCOMPARE(ended, 1);
        QVERIFY(p.closed());
    }

    // The menu bar lies above every control and the status line below; the entries are built
    // from the description, run their actions only when the user triggers them, and keep the
    // View menu's units exclusive.
    void menuBarAboveTheControlsAndStatusLineBelow() {
        QtPlatform& p = shown();
        QMenuBar* bar = p.menu_bar();
        QVERIFY(bar && bar->isVisible());
        QStringList titles;
        for (QAction* a : bar->actions())
            titles << a->text();
        QCOMPARE(titles, QStringList({"&File", "&View", "&Compare", "&Help"}));
        const int top = bar->geometry().bottom();
        QLabel* status = p.status_line();
        QVERIFY(status && status->isVisible());
        for (const ControlDescription& c : description().controls) {
            if (c.id == no_id)
                continue;
            const QRect r = p.widget(c.id)->geometry();
            QVERIFY2(r.top() > top, qPrintable(QString::number(c.id)));
            QVERIFY2(r.bottom() < status->geometry().top(), qPrintable(QString::number(c.id)));
            // Every control keeps its place relative to the others: its dialog units, moved
            // down by the menu bar's height.
            QCOMPARE(r.left(), p.x_pixels(c.x));
            QCOMPARE(r.top(), bar->height() + p.y_pixels(c.y));
        }
        QCOMPARE(status->geometry().bottom(), p.dialog()->height() - 1);

        Recorder r;
        for (const sigmat::platform::MenuDescription& m : description().menus) {
            if (m.id == no_id)
                continue;
            QAction* a = p.menu_action(m.id);
            QVERIFY(a);
            QCOMPARE(a->text(), QString::fromUtf8(m.label.data(), qsizetype(m.label.size())));
            p.attach(m.id, Event::clicked,
                     [&r](int control, Event event) { r.events.emplace_back(control, event); });
        }
        bool on = false;
        QVERIFY(p.get_checked(id::unit_a2, on) && on);
        QVERIFY(p.set_checked(id::unit_m2, true));
        QVERIFY(p.set_checked(id::log_energy, true));
        QVERIFY(p.set_enabled(id::export_data, false));
        QVERIFY(p.get_checked(id::unit_a2, on) && !on);
        QCOMPARE(r.events.size(), std::size_t(0));

        p.menu_action(id::log_sigma)->trigger();
        p.menu_action(id::unit_cm2)->trigger();
        p.menu_action(id::export_data)->trigger();                   // disabled: nothing
        QTest::keyClick(p.dialog(), Qt::Key_E, Qt::ControlModifier); // Export figure
        QCOMPARE(r.events,
                 (std::vector<std::pair<int, Event>>{{id::log_sigma, Event::clicked},
                                                     {id::unit_cm2, Event::clicked},
                                                     {id::export_figure, Event::clicked}}));
        QVERIFY(p.get_checked(id::log_sigma, on) && on);
        QVERIFY(p.get_checked(id::unit_m2, on) && !on);

        p.set_status("below 99 %", true);
        const QColor warning = status->palette().color(QPalette::WindowText);
        p.set_status("all is well", false);
        QCOMPARE(status->text(), QString("all is well"));
        QVERIFY(status->palette().color(QPalette::WindowText) != warning);
    }

    // Enter in a temperature field presses the temperature box's Plot; elsewhere the dialog's
    // default button, the single cross section's Plot.
    void enterPressesThePlotOfItsBox() {
        QtPlatform& p = shown();
        Recorder r;
        r.attach_everywhere(p, true);
        p.set_enter_button(id::temp_vib, id::plot_thermal);
        p.set_enter_button(id::temp_rot, id::plot_thermal);
        const std::pair<int, int> cases[] = {{id::temp_vib, id::plot_thermal},
                                             {id::temp_rot, id::plot_thermal},
                                             {id::vib_initial, id::plot_single},
                                             {id::database_dir, id::plot_single}};
        for (auto [edit, button] : cases) {
            r.events.clear();
            p.widget(edit)->setFocus();
            QTest::keyClick(p.widget(edit), Qt::Key_Return);
            QCOMPARE(r.events, (std::vector<std::pair<int, Event>>{{button, Event::clicked}}));
        }
    }

    // The comparison window shows the panel's rows and hands every button to it.
    void comparisonWindowListsAndEditsTheCurves() {
        QtPlatform& p = shown();
        FakePanel panel;
        p.show_comparison(panel);
        QWidget* window = p.comparison_window();
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        auto* list = window->findChild<QListWidget*>("curves");
        QVERIFY(list);
        const auto shown_names = [&] {
            QStringList out;
            for (int i = 0; i < list->count(); ++i)
                out << list->item(i)->text();
            return out;
        };
        QCOMPARE(shown_names(), QStringList({"a", "b", "c"}));
        QCOMPARE(list->item(1)->toolTip(), QString("source of b"));
        const auto press = [&](const char* name) {
            auto* b = window->findChild<QPushButton*>(name);
            QVERIFY2(b, name);
            QTest::mouseClick(b, Qt::LeftButton);
        };
        for (const char* name :
             {"add_current", "add_file", "plot", "export_figure", "export_data", "clear"})
            press(name);
        QCOMPARE(panel.calls, (std::vector<std::string>{"add current", "add file", "plot",
                                                        "export figure", "export data", "clear"}));
        panel.calls.clear();

        list->setCurrentRow(0);
        press("down");
        p.comparison_changed();
        QCOMPARE(shown_names(), QStringList({"b", "a", "c"}));
        QCOMPARE(list->currentRow(), 1);
        press("up");
        p.comparison_changed();
        list->setCurrentRow(2);
        press("remove");
        p.comparison_changed();
        QCOMPARE(shown_names(), QStringList({"a", "b"}));
        list->item(0)->setText("mine");
        QCOMPARE(panel.calls,
                 (std::vector<std::string>{"move 0 1", "move 1 0", "remove 2", "relabel 0 mine"}));
        // Up on the first row and Down on the last are not offered.
        list->setCurrentRow(0);
        QVERIFY(!window->findChild<QPushButton*>("up")->isEnabled());
        list->setCurrentRow(1);
        QVERIFY(!window->findChild<QPushButton*>("down")->isEnabled());
        press("close");
        QVERIFY(!window->isVisible());
        QVERIFY(p.dialog()->isVisible());
    }

    // Every control of the started dialog has a tooltip, and Help's guide is the README's.
    void tooltipsAndTheGuideAfterARealStartUp() {
        QTemporaryDir profile, start;
        QVERIFY(profile.isValid() && start.isValid());
        const QByteArray old_profile = qgetenv("USERPROFILE");
        const QString old_cwd = QDir::currentPath();
        qputenv("USERPROFILE", QFile::encodeName(profile.path()));
        QVERIFY(QDir::setCurrent(start.path()));
        QtPlatform& p = *platform_;
        sigmat::app::Application app;
        const bool started = sigmat::app::start_application(p, app, [] {});
        QDir::setCurrent(old_cwd);
        qputenv("USERPROFILE", old_profile);
        QVERIFY(started);
        shown();
        for (const ControlDescription& c : description().controls) {
            if (c.id != no_id)
                QVERIFY2(!p.widget(c.id)->toolTip().isEmpty(), qPrintable(QString::number(c.id)));
        }
        QVERIFY(p.widget(id::fwhm)->toolTip().contains("meV from 1 to 999"));
        p.menu_action(id::help_guide)->trigger();
        QWidget* guide = p.document_window();
        QVERIFY(guide && guide->isVisible());
        QVERIFY(guide->windowTitle().contains("guide"));
        QVERIFY(p.dialog()->isVisible());
    }

    // A folder name that is not valid UTF-8 keeps its bytes through the dialog: shown, saved
    // with "Save setup" and read back at the next start.
    void folderNameBytesSurviveSaveSetupAndRestart() {
        QTemporaryDir profile, base;
        QVERIFY(profile.isValid() && base.isValid());
        const std::string odd = base.path().toStdString() + "/db-\xff\xfe-\xc3(";
        QVERIFY(::mkdir(odd.c_str(), 0755) == 0);
        const QByteArray old_profile = qgetenv("USERPROFILE");
        const QString old_cwd = QDir::currentPath();
        qputenv("USERPROFILE", QFile::encodeName(profile.path()));
        QVERIFY(::chdir(odd.c_str()) == 0);

        for (int start = 0; start < 2; ++start) {
            auto platform = std::make_unique<QtPlatform>(description());
            sigmat::app::Application app;
            QVERIFY(sigmat::app::start_application(*platform, app, [] {}));
            QCOMPARE(app.settings.databaseDir, odd);
            std::string shown_text;
            QVERIFY(platform->get_text(id::database_dir, shown_text));
            QCOMPARE(shown_text, odd);
            // An edit by the user elsewhere in the text keeps the odd bytes.
            auto* edit = static_cast<QLineEdit*>(platform->widget(id::work_dir));
            platform->set_text(id::work_dir, odd + "/w");
            QCOMPARE(edit->text().size() > 0, true);
            QTest::mouseClick(platform->widget(id::save_setup), Qt::LeftButton);
            QFile ini(profile.filePath("Sigmat/Sigmat.ini"));
            QVERIFY(ini.open(QIODevice::ReadOnly));
            const QByteArray saved = ini.readAll();
            QVERIFY(saved.startsWith(QByteArray::fromStdString("XS_DBASE dir = " + odd + "\n")));
            QVERIFY(saved.contains(QByteArray::fromStdString("Work dir = " + odd + "/w\n")));
        }
        QVERIFY(QDir::setCurrent(old_cwd));
        qputenv("USERPROFILE", old_profile);
        QVERIFY(::rmdir(odd.c_str()) == 0); // a name Qt's own removal could not spell
    }
};

QTEST_MAIN(QtDialogTest)
#include "qt_dialog_test.moc"
