// The real dialog as a newcomer meets it, on the offscreen platform: a first start on a folder
// without a database, the database menus, a coverage warning that shows its number, the status
// line renewed by each action, the question on quitting with a comparison and the session file
// behind it, shortcuts with an edit focused, the file questions' folders and sizes, and the
// icon on every window. gnuplot is a stand-in script that takes a moment.
#include "app/application.h"
#include "app/resources/main_dialog_description.h"
#include "curves/demo_database.h"
#include "platform/qt/qt_platform.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

using sigmat::platform::QtPlatform;
namespace id = sigmat::app::id;
namespace fs = std::filesystem;

namespace {

// The watchers of modal windows still waiting; a test that fails leaves none to the next.
QObject& watchers() {
    static QObject all;
    return all;
}

// Acts on the next modal window of type W as soon as it shows (the code that opened it waits in
// the window's own loop meanwhile); gives up after 10 s so that a test fails instead of hanging.
template <typename W> void when_modal(std::function<void(W*)> act) {
    auto* timer = new QTimer(&watchers());
    auto ticks = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, ticks] {
        auto* w = qobject_cast<W*>(QApplication::activeModalWidget());
        if ((w == nullptr || !w->isVisible()) && ++*ticks < 400)
            return;
        timer->stop();
        timer->deleteLater();
        if (w != nullptr)
            act(w);
    });
    timer->start(25);
}

// The next folder question answered with `path`, typed as a user would ("" cancels).
void answer_folder(const QString& path) {
    when_modal<QFileDialog>([path](QFileDialog* files) {
        if (path.isEmpty()) {
            files->reject();
            return;
        }
        files->findChild<QLineEdit*>("fileNameEdit")->setText(path);
        static_cast<QDialog*>(files)->accept();
    });
}

// The next message box: its text into `text`, then `button` pressed.
void answer_box(QString* text, QMessageBox::StandardButton button) {
    when_modal<QMessageBox>([text, button](QMessageBox* box) {
        if (text)
            *text = box->text();
        box->button(button)->click();
    });
}

// What a line edit does with X11's key bindings (the offscreen platform has others): it claims
// Ctrl+E (end of the line) and Ctrl+D (delete) before any shortcut sees them.
class X11EditKeys final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->modifiers() == Qt::ControlModifier &&
                (key->key() == Qt::Key_E || key->key() == Qt::Key_D))
                event->accept();
        }
        return false;
    }
};

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

// One run of Sigmat: started in `profile` from the folder `start`, its dialog shown.
struct Run {
    std::unique_ptr<QtPlatform> platform;
    sigmat::app::Application app;
    bool ended = false;

    QtPlatform& p() { return *platform; }
    QLabel& status() { return *platform->status_line(); }
    std::string text(int control) {
        std::string t;
        platform->get_text(control, t);
        return t;
    }
    std::vector<std::string> labels() const {
        std::vector<std::string> out;
        for (const auto& c : app.comparison.curves)
            out.push_back(c.label);
        return out;
    }
    // The user picks a molecule in the list.
    void pick(const QString& molecule) {
        auto* list = static_cast<QComboBox*>(platform->widget(id::molecule_list));
        const int row = list->findText(molecule, Qt::MatchStartsWith);
        QVERIFY(row >= 0);
        list->setCurrentIndex(row);
        emit list->activated(row);
    }
    void type(int control, const QString& text) {
        auto* edit = static_cast<QLineEdit*>(platform->widget(control));
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    void click(int control) { QTest::mouseClick(platform->widget(control), Qt::LeftButton); }
};

std::unique_ptr<Run> start(const QString& profile, const QString& start_folder) {
    auto run = std::make_unique<Run>();
    run->platform = std::make_unique<QtPlatform>(sigmat::app::main_dialog_description());
    const QByteArray old_profile = qgetenv("USERPROFILE");
    const QString old_cwd = QDir::currentPath();
    qputenv("USERPROFILE", QFile::encodeName(profile));
    QDir::setCurrent(start_folder);
    Run* r = run.get();
    const bool started =
        sigmat::app::start_application(run->p(), run->app, [r] { r->ended = true; });
    QDir::setCurrent(old_cwd);
    qputenv("USERPROFILE", old_profile);
    if (!started)
        return nullptr;
    run->p().show_dialog();
    if (!QTest::qWaitForWindowExposed(run->p().dialog()))
        return nullptr;
    return run;
}

} // namespace

class QtNewcomerTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir demo_, bin_;
    std::string work_;

    // A profile whose setup names the demo database, a work folder and the stand-in gnuplot.
    QString profile_on_demo(const QTemporaryDir& profile) {
        const QString ini = profile.filePath("Sigmat/Sigmat.ini");
        QDir().mkpath(profile.filePath("Sigmat/scripts"));
        std::ofstream(ini.toStdString())
            << "XS_DBASE dir = " << demo_.path().toStdString() << "\n"
            << "Work dir = " << profile.filePath("Sigmat/scripts").toStdString() << "\n"
            << "gnuplot = " << bin_.path().toStdString() << "\ngnuplot version = T\n"
            << "data style = l \n";
        return profile.path();
    }

  private slots:
    void cleanup() { qDeleteAll(watchers().children()); }

    void initTestCase() {
        QVERIFY(demo_.isValid() && bin_.isValid());
        const fs::path root = demo_.path().toStdString();
        const auto written = sigmat::curves::write_demo_database(
            [&](const std::vector<std::string>& parts, std::string_view text) {
                fs::path path = root;
                for (const std::string& part : parts)
                    path /= part;
                fs::create_directories(path.parent_path());
                std::ofstream(path, std::ios::binary) << text;
                return sigmat::store::Status();
            });
        QVERIFY(written.ok());
        const QString plotter = bin_.filePath("gnuplot");
        std::ofstream(plotter.toStdString()) << "#!/bin/sh\nsleep 0.4\n";
        QFile::setPermissions(plotter, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("GNUTERM", "dumb"); // the offscreen platform has no display
    }

    // A first start from a folder without a database: the status note, the demo database made
    // (not into a folder that holds anything) and opened, and another folder opened.
    void databaseMenusOnAFirstStart() {
        QTemporaryDir profile, home;
        QVERIFY(QDir(home.path()).mkdir("demo"));
        std::ofstream(home.filePath("notes.txt").toStdString()) << "mine\n";
        auto run = start(profile.path(), home.path());
        QVERIFY(run);
        QCOMPARE(run->status().text(), "No index.dat in " + home.path() +
                                           ": the built-in list is shown. File > Open "
                                           "database\u2026 or File > Make demo database\u2026");
        auto* list = static_cast<QComboBox*>(run->p().widget(id::molecule_list));
        QCOMPARE(list->count(), 11);

        QString refused;
        answer_folder(home.path());
        answer_box(&refused, QMessageBox::Ok);
        run->p().menu_action(id::make_demo_database)->trigger();
        QCOMPARE(refused, "The folder is not empty:\n" + home.path());
        QVERIFY(!QFile::exists(home.filePath("index.dat")));

        const QString demo = home.filePath("demo");
        answer_folder(demo);
        run->p().menu_action(id::make_demo_database)->trigger();
        QVERIFY(QFile::exists(demo + "/index.dat"));
        QCOMPARE(q(run->text(id::database_dir)), demo);
        QCOMPARE(list->count(), 8);
        QCOMPARE(list->currentText(), QString("HBr"));
        QVERIFY(run->status().text().startsWith("Demo database made and opened: "));

        // Open database: the field as if typed, so that Save setup keeps it.
        for (const QString& folder : {home.path(), demo}) {
            answer_folder(folder);
            run->p().menu_action(id::open_database)->trigger();
            QCOMPARE(q(run->text(id::database_dir)), folder);
            QCOMPARE(list->count(), folder == demo ? 8 : 11);
        }
        QVERIFY(run->status().text().startsWith("Database " + demo));
        run->click(id::save_setup);
        QFile ini(profile.filePath("Sigmat/Sigmat.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readLine().startsWith("XS_DBASE dir = " + demo.toUtf8()));
    }

    // Each action replaces the status line's message; a plot that holds the dialog says so; a
    // coverage below 99 % leads with its number, which shows at the window's narrowest, and
    // the window widens with its controls in place.
    void statusLineTellsThePresent() {
        QTemporaryDir profile;
        auto run = start(profile_on_demo(profile), profile.path());
        QVERIFY(run);
        QLabel& status = run->status();
        QString during;
        const auto watch = [&] { QTimer::singleShot(150, [&] { during = status.text(); }); };
        run->pick("DI");
        watch();
        run->click(id::plot_single);
        QCOMPARE(during, QString("Close the plot window to go on"));
        QCOMPARE(status.text(), QString());

        run->type(id::temp_vib, "3000");
        run->type(id::temp_rot, "3000");
        watch();
        run->click(id::plot_thermal);
        const QString headline = "48.19 % of the population is in the average";
        QCOMPARE(during, headline + ". Close the plot window to go on");
        QVERIFY2(status.text().startsWith(headline + "; states: v=0 J=0..20"),
                 qPrintable(status.text()));
        QVERIFY(status.toolTip().startsWith("states: v=0 J=0..20"));
        QVERIFY(status.toolTip().endsWith("48.19 % of the population"));
        QDialog& dialog = *run->p().dialog();
        QCOMPARE(dialog.width(), dialog.minimumWidth());
        const int room = status.contentsRect().width() - status.indent() - 2 * status.margin();
        QVERIFY(status.fontMetrics().horizontalAdvance(headline) < room);

        const QRect plot = run->p().widget(id::plot_single)->geometry();
        dialog.resize(dialog.minimumWidth() + 300, dialog.height());
        QTest::qWait(50);
        QCOMPARE(dialog.width(), dialog.minimumWidth() + 300);
        QCOMPARE(status.width(), dialog.width());
        QCOMPARE(run->p().widget(id::plot_single)->geometry(), plot);
        QCOMPARE(dialog.maximumHeight(), dialog.minimumHeight());

        run->click(id::plot_single);
        QCOMPARE(status.text(), QString());
        for (const char* added : {"(1 curve)", "(2 curves)"}) {
            run->p().menu_action(id::compare_add)->trigger();
            QVERIFY2(status.text().endsWith(added), qPrintable(status.text()));
        }
        run->p().menu_action(id::compare_add_thermal)->trigger();
        QVERIFY(run->app.comparison.curves.back().note.find(headline.toStdString()) == 0);
        run->p().menu_action(id::compare_clear)->trigger();
        QCOMPARE(status.text(), QString("The comparison is empty."));
    }

    // Exit, Quit (Ctrl+Q) and the window's close button ask with curves in the comparison;
    // each answer does what it says, and what Save keeps comes back at the next start.
    void quittingWithACurveAsksAndSaveBringsItBack() {
        struct Case {
            const char* what;
            std::function<void(Run&)> quit;
            QMessageBox::StandardButton answer;
            bool ends;
        };
        const Case cases[] = {
            {"close button, Cancel", [](Run& r) { r.p().dialog()->close(); }, QMessageBox::Cancel,
             false},
            {"Exit, Discard", [](Run& r) { r.click(id::exit_button); }, QMessageBox::Discard, true},
            {"Ctrl+Q in an edit, Save",
             [](Run& r) {
                 r.p().widget(id::temp_vib)->setFocus();
                 QTest::keyClick(r.p().widget(id::temp_vib), Qt::Key_Q, Qt::ControlModifier);
             },
             QMessageBox::Save, true},
        };
        QTemporaryDir profile;
        const QString session = profile.filePath("Sigmat/session.json");
        for (const Case& c : cases) {
            auto run = start(profile_on_demo(profile), profile.path());
            QVERIFY(run);
            if (!run->app.settings.view.log_sigma)
                run->p().menu_action(id::log_sigma)->trigger();
            run->pick("HCl");
            run->p().menu_action(id::compare_add)->trigger();
            run->app.comparison.curves[0].label = "mine";
            QString asked;
            answer_box(&asked, c.answer);
            c.quit(*run);
            QCOMPARE(asked, QString("The comparison holds 1 curve. Keep it for the next start?"));
            QVERIFY2(run->ended == c.ends && run->p().closed() == c.ends, c.what);
            QCOMPARE(run->p().dialog()->isVisible(), !c.ends);
            // The View option is kept whatever the answer; the comparison only on Save.
            QVERIFY2(QFile::exists(session), c.what);
        }
        auto again = start(profile.path(), profile.path());
        QVERIFY(again);
        QCOMPARE(again->labels(), std::vector<std::string>{"mine"});
        QVERIFY(again->app.settings.view.log_sigma);
        QVERIFY(again->p().menu_action(id::log_sigma)->isChecked());
        QCOMPARE(again->app.comparison.curves[0].curve.energy.empty(), false);
    }

    // A session file that cannot be read starts empty, and says so.
    void unreadableSessionFileStartsEmpty() {
        QTemporaryDir profile;
        profile_on_demo(profile);
        const QString session = profile.filePath("Sigmat/session.json");
        const std::string kept = "{\"version\": 1, \"comparison\": [{\"kind\": \"curve\", "
                                 "\"selector\": \"HCl:dea:v=0,J=0\", \"label\": \"x\"}]}";
        for (const std::string& text : {kept.substr(0, kept.size() - 3), std::string("Sigmat")}) {
            std::ofstream(session.toStdString()) << text;
            auto run = start(profile.path(), profile.path());
            QVERIFY(run);
            QVERIFY(run->app.comparison.curves.empty());
            QCOMPARE(run->status().text(), "The session file could not be read: " + session);
        }
        std::ofstream(session.toStdString()) << kept;
        QCOMPARE(start(profile.path(), profile.path())->labels(), std::vector<std::string>{"x"});
    }

    // Ctrl+E with an edit focused opens the figure's export (the edit would take it as "end
    // of line"); its sizes are whole pixels and centimetres to a millimetre. The data export's
    // file question starts where the last one ended.
    void shortcutsFromAnEditAndTheFileQuestionsMemory() {
        QTemporaryDir profile, out;
        auto run = start(profile_on_demo(profile), profile.path());
        QVERIFY(run);
        run->pick("HCl");
        QStringList sizes;
        when_modal<QDialog>([&sizes](QDialog* ask) {
            auto* width = ask->findChild<QDoubleSpinBox*>("width");
            sizes << width->text();
            ask->findChild<QComboBox*>("format")->setCurrentIndex(1);
            sizes << width->text();
            ask->reject();
        });
        QWidget* edit = run->p().widget(id::database_dir);
        edit->installEventFilter(new X11EditKeys(edit));
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_E, Qt::ControlModifier);
        QCOMPARE(sizes, QStringList({"1200 px", "16.0 cm"}));
        QCOMPARE(q(run->text(id::database_dir)), demo_.path());

        QStringList started_in;
        for (const QString& file : {out.filePath("a.csv"), profile.filePath("b.csv")}) {
            when_modal<QFileDialog>([&started_in, file](QFileDialog* files) {
                started_in << files->directory().absolutePath();
                files->findChild<QLineEdit*>("fileNameEdit")->setText(file);
                static_cast<QDialog*>(files)->accept();
            });
            run->p().dialog()->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(run->p().dialog()));
            QTest::keyClick(edit, Qt::Key_D, Qt::ControlModifier);
            QVERIFY(QFile::exists(file));
        }
        QCOMPARE(started_in.value(1), out.path());
        auto again = start(profile.path(), profile.path());
        QCOMPARE(q(again->app.session.folders.data), profile.path());
    }

    // Sigmat's icon on the dialog, the comparison and guide windows, file dialogs and message
    // boxes.
    void everyWindowHasTheIcon() {
        QTemporaryDir profile;
        auto run = start(profile_on_demo(profile), profile.path());
        QVERIFY(run);
        const auto has_icon = [](QWidget* w) {
            return w && !w->windowIcon().isNull() && !w->windowIcon().pixmap(32, 32).isNull();
        };
        QVERIFY(has_icon(run->p().dialog()));
        run->p().menu_action(id::compare_show)->trigger();
        QVERIFY(has_icon(run->p().comparison_window()));
        run->p().menu_action(id::help_guide)->trigger();
        QVERIFY(has_icon(run->p().document_window()));
        bool file_dialog = false, box = false;
        when_modal<QFileDialog>([&](QFileDialog* files) {
            file_dialog = has_icon(files);
            files->reject();
        });
        run->p().menu_action(id::open_database)->trigger();
        when_modal<QMessageBox>([&](QMessageBox* about) {
            box = has_icon(about);
            about->button(QMessageBox::Ok)->click();
        });
        run->p().menu_action(id::help_about)->trigger();
        QVERIFY(file_dialog && box);
    }
};

QTEST_MAIN(QtNewcomerTest)
#include "qt_newcomer_test.moc"
