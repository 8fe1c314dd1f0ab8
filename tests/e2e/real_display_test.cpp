// The newcomer's path on a real X display: the real dialog (xcb platform) started as from the
// desktop menu, in a home folder that holds no database, the demo database made and opened
// through the File menu, Plot pressed as a user would, a real gnuplot window that is
// photographed and closed with Ctrl-Q, and the dialog taking input again afterwards. Then the
// comparison: three curves of the dialog and a measurement of one's own plotted together while
// the dialog goes on, the figure exported as PNG and PDF and checked, and the About box. Last,
// Quit with the comparison, Save, and a second start that finds it again.
//
// Run under xvfb-run by CTest; argument: a folder for the screenshots.
#include "app/application.h"
#include "app/resources/main_dialog_description.h"
#include "platform/qt/qt_platform.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using sigmat::platform::QtPlatform;
namespace id = sigmat::app::id;

namespace {

std::string artifacts;

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p))
            out += buf;
        ::pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

// Waits in the background for gnuplot's window, photographs the screen and closes the
// window with Ctrl-Q, as a user would. If no window comes, it answers whatever box is
// open with Return so the test can end and fail.
class PlotWatcher {
  public:
    explicit PlotWatcher(std::string shot) : shot_(std::move(shot)), thread_([this] { watch(); }) {}
    ~PlotWatcher() {
        if (thread_.joinable())
            thread_.join();
    }
    bool finish() {
        thread_.join();
        return found_;
    }

  private:
    void watch() {
        using namespace std::chrono;
        const auto deadline = steady_clock::now() + seconds(60);
        std::string window;
        while (steady_clock::now() < deadline) {
            window = run("xdotool search --onlyvisible --name '^Gnuplot' 2>/dev/null | head -n 1");
            if (!window.empty())
                break;
            std::this_thread::sleep_for(milliseconds(200));
        }
        if (window.empty()) {
            run("import -window root '" + shot_ + ".failed.png' 2>/dev/null");
            run("xdotool key Return 2>/dev/null");
            return;
        }
        found_ = true;
        std::this_thread::sleep_for(milliseconds(1500)); // let it draw
        run("import -window root '" + shot_ + "' 2>/dev/null");
        for (int attempt = 0; attempt < 20; ++attempt) {
            run("xdotool mousemove --window " + window + " 200 200 2>/dev/null");
            run("xdotool windowfocus " + window +
                " 2>/dev/null; xdotool key --clearmodifiers ctrl+q 2>/dev/null");
            std::this_thread::sleep_for(milliseconds(500));
            if (run("xdotool search --onlyvisible --name '^Gnuplot' 2>/dev/null").empty())
                return;
        }
    }

    std::string shot_;
    std::atomic<bool> found_{false};
    std::thread thread_;
};

// Acts on the next modal window of type W as soon as it shows, from the event loop (the code
// that opens it waits in the window's own loop meanwhile).
template <typename W> void when_modal(std::function<void(W*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(50);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        auto* w = qobject_cast<W*>(QApplication::activeModalWidget());
        if (w == nullptr || !w->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act(w);
    });
    timer->start();
}

// Types PATH into the next file dialog's name field and accepts, as a user would, again on
// every tick until that dialog has closed. (QFileDialog::selectFile leaves the field alone
// while it has the keyboard focus, which it has whenever the window manager gave the dialog
// focus, and an empty field makes accept do nothing.)
void choose_file(const std::string& path) {
    auto* timer = new QTimer;
    timer->setInterval(50);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, path, tries] {
        auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (files == nullptr || !files->isVisible()) {
            if (*tries > 0) { // it was open and has closed
                timer->stop();
                timer->deleteLater();
            }
            return;
        }
        if (++*tries > 200) { // 10 s: give up, so that the test fails instead of hanging
            static_cast<QDialog*>(files)->reject();
            return;
        }
        if (auto* name = files->findChild<QLineEdit*>("fileNameEdit"))
            name->setText(QString::fromStdString(path));
        else
            files->selectFile(QString::fromStdString(path));
        static_cast<QDialog*>(files)->accept();
    });
    timer->start();
}

std::string file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

template <typename W> W* control(QtPlatform& p, int control_id) {
    auto* w = qobject_cast<W*>(p.widget(control_id));
    if (!w)
        qFatal("control %d is missing", control_id);
    return w;
}

} // namespace

class RealDisplay : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"),
                 "needs an X display (run under xvfb-run)");
        QVERIFY(home_.isValid());
        qputenv("USERPROFILE", home_.path().toUtf8());
        // Started from the desktop menu: in the home folder, which a first start takes as the
        // database, and which holds none.
        fs::current_path(home_.path().toStdString());
        fs::create_directories(artifacts);
        platform_ = std::make_unique<QtPlatform>(sigmat::app::main_dialog_description());
        QVERIFY(sigmat::app::start_application(*platform_, application_, [] {}));
        platform_->show_dialog();
        QVERIFY(QTest::qWaitForWindowExposed(platform_->dialog()));
        work_ = home_.path().toStdString() + "/Sigmat/scripts";
        QVERIFY(platform_->status_line()->text().startsWith("No index.dat in " + home_.path()));

        // File > Make demo database..., into a new folder ("Create New Folder" in the question).
        db_ = home_.path().toStdString() + "/demo-db";
        fs::create_directories(db_);
        choose_file(db_);
        platform_->menu_action(id::make_demo_database)->trigger();
        QVERIFY(fs::is_regular_file(db_ + "/index.dat"));
        QCOMPARE(control<QLineEdit>(*platform_, id::database_dir)->text(),
                 QString::fromStdString(db_));

        // Pick HCl in the list with the keyboard.
        auto* list = control<QComboBox>(*platform_, id::molecule_list);
        const int hcl = list->findText("HCl");
        QVERIFY(hcl >= 0);
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Home);
        for (int i = 0; i < hcl; ++i)
            QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentText(), QString("HCl"));

        // A finite resolution of 50 meV.
        QTest::mouseClick(control<QCheckBox>(*platform_, id::resolution), Qt::LeftButton);
        auto* fwhm = control<QLineEdit>(*platform_, id::fwhm);
        QVERIFY(fwhm->isEnabled());
        fwhm->selectAll();
        QTest::keyClicks(fwhm, "50");
    }

    void singleDeaWithResolution() {
        PlotWatcher watcher(artifacts + "/plot-dea.png");
        QTest::mouseClick(control<QPushButton>(*platform_, id::plot_single), Qt::LeftButton);
        QVERIFY2(watcher.finish(), "no gnuplot window appeared");
        QVERIFY(!platform_->plotter_running());
        QVERIFY(fs::is_regular_file(work_ + "/data/HCl_DA00J00FWHM050.dat"));
        QVERIFY(fs::is_regular_file(work_ + "/HCl_DA00J00FWHM050.plt"));
        takesInputAgain();
    }

    void temperatureAveragedDea() {
        PlotWatcher watcher(artifacts + "/plot-thermal.png");
        QTest::mouseClick(control<QPushButton>(*platform_, id::plot_thermal), Qt::LeftButton);
        QVERIFY2(watcher.finish(), "no gnuplot window appeared");
        QVERIFY(fs::is_regular_file(work_ + "/data/HCl_Tv0300TJ0300K_FWHM050.dat"));
        QVERIFY(fs::is_regular_file(work_ + "/HCl_Tv0300TJ0300K_FWHM050.plt"));
        takesInputAgain();
    }

    void comparisonPlottedTogetherAndExported() {
        QtPlatform& p = *platform_;
        // Three curves of the dialog: DEA from (0, 0) and total AED, both folded with 50 meV,
        // and the thermal average.
        p.menu_action(id::compare_add)->trigger();
        QTest::mouseClick(control<QRadioButton>(p, id::aed_total), Qt::LeftButton);
        p.menu_action(id::compare_add)->trigger();
        p.menu_action(id::compare_add_thermal)->trigger();
        QTest::mouseClick(control<QRadioButton>(p, id::dea), Qt::LeftButton);
        QCOMPARE(application_.comparison.curves.size(), std::size_t(3));

        // A measurement of one's own, on an uneven grid, added through the window's file dialog
        // and folded with the dialog's resolution.
        const std::string beam = home_.path().toStdString() + "/beam.dat";
        {
            std::ofstream out(beam);
            out << "# our beam experiment: E (eV), sigma (A^2)\n";
            for (int k = 0; k <= 60; ++k) {
                const double e = 0.4 + 0.01 * k + (k > 30 ? 0.01 * (k - 30) : 0.0);
                out << e << " " << 3.0 * std::exp(-(e - 0.8) * (e - 0.8) / 0.02) << "\n";
            }
        }
        p.menu_action(id::compare_show)->trigger();
        QWidget* window = p.comparison_window();
        QVERIFY(window && QTest::qWaitForWindowExposed(window));
        choose_file(beam);
        when_modal<QMessageBox>([](QMessageBox* fold) { fold->button(QMessageBox::Yes)->click(); });
        QTest::mouseClick(window->findChild<QPushButton*>("add_file"), Qt::LeftButton);
        auto* list = window->findChild<QListWidget*>("curves");
        QCOMPARE(list->count(), 4);
        QCOMPARE(list->item(3)->text(), QString("beam.dat, FWHM 50 meV"));
        list->item(3)->setText("our beam, FWHM 50 meV");
        QCOMPARE(application_.comparison.curves[3].label, std::string("our beam, FWHM 50 meV"));

        // Log cross section axis; the window photographed for the README.
        p.menu_action(id::log_sigma)->trigger();
        window->raise();
        QTest::qWait(300);
        QVERIFY(window->grab().save(QString::fromStdString(artifacts + "/comparison.png")));

        // Plot together: gnuplot opens its window, and the dialog takes input meanwhile.
        {
            PlotWatcher watcher(artifacts + "/plot-together.png");
            QTest::mouseClick(window->findChild<QPushButton*>("plot"), Qt::LeftButton);
            QVERIFY(!platform_->plotter_running());
            takesInputAgain();
            QVERIFY2(watcher.finish(), "no gnuplot window appeared");
        }

        // The figure as PNG (1200 x 800 px) and PDF (16 x 10 cm).
        const std::string png = home_.path().toStdString() + "/figure.png";
        const std::string pdf = home_.path().toStdString() + "/figure.pdf";
        for (const auto& [path, format] : {std::pair{png, 0}, std::pair{pdf, 1}}) {
            when_modal<QDialog>([path = path, format = format](QDialog* ask) {
                ask->findChild<QComboBox*>("format")->setCurrentIndex(format);
                ask->findChild<QLineEdit*>("path")->setText(QString::fromStdString(path));
                ask->accept();
            });
            QTest::mouseClick(window->findChild<QPushButton*>("export_figure"), Qt::LeftButton);
        }
        QImage image;
        QVERIFY(image.load(QString::fromStdString(png), "PNG"));
        QCOMPARE(image.size(), QSize(1200, 800));
        // More than one curve colour: saturated pixels of at least two of gnuplot's line colours.
        std::set<QRgb> colours;
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2) {
                const QColor c = image.pixelColor(x, y);
                if (c.hsvSaturation() > 150 && c.value() > 80)
                    colours.insert(c.rgb() & 0xF0F0F0);
            }
        QVERIFY2(colours.size() >= 2, qPrintable(QString::number(colours.size())));
        const std::string pdf_bytes = file_bytes(pdf);
        QCOMPARE(pdf_bytes.substr(0, 5), std::string("%PDF-"));
        QVERIFY2(pdf_bytes.find("/MediaBox [ 0 0 453 283 ]") != std::string::npos, "16 x 10 cm");
        fs::copy_file(png, artifacts + "/figure-log.png", fs::copy_options::overwrite_existing);
        QVERIFY(application_.comparison.curves.size() == 4);
        window->close();
    }

    void aboutBoxOpensAndCloses() {
        QString text;
        when_modal<QMessageBox>([&text](QMessageBox* box) {
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        platform_->menu_action(id::help_about)->trigger();
        QVERIFY2(text.startsWith("Sigmat "), qPrintable(text));
        QVERIFY2(text.contains("Toolkit: Qt 6"), qPrintable(text));
        QVERIFY2(text.contains("gnuplot that Plot runs: /"), qPrintable(text));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        takesInputAgain();
    }

    // Quit (Ctrl+Q, typed in an edit) with the comparison, Save: a second start finds it again,
    // with its labels and the View menu's log axis. On the way, Ctrl+E in an edit opens the
    // figure's export although the edit's own X11 bindings take Ctrl+E for the end of the line.
    void quitWithTheComparisonAndStartAgain() {
        auto* fwhm = control<QLineEdit>(*platform_, id::fwhm);
        platform_->dialog()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(platform_->dialog()));
        fwhm->setFocus();
        bool exported = false;
        when_modal<QDialog>([&exported](QDialog* ask) {
            exported = ask->objectName() == "export_figure";
            ask->reject();
        });
        QTest::keyClick(fwhm, Qt::Key_E, Qt::ControlModifier);
        QVERIFY2(exported, "Ctrl+E in an edit did not open the export");

        std::vector<std::string> labels;
        for (const auto& c : application_.comparison.curves)
            labels.push_back(c.label);
        QCOMPARE(labels.size(), std::size_t(4));
        QString asked;
        when_modal<QMessageBox>([&asked](QMessageBox* box) {
            asked = box->text();
            box->button(QMessageBox::Save)->click();
        });
        platform_->dialog()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(platform_->dialog()));
        fwhm->setFocus();
        QTest::keyClick(fwhm, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(asked, QString("The comparison holds 4 curves. Keep them for the next start?"));
        QVERIFY(platform_->closed());
        QVERIFY(fs::is_regular_file(home_.path().toStdString() + "/Sigmat/session.json"));
        platform_.reset();

        auto again = std::make_unique<QtPlatform>(sigmat::app::main_dialog_description());
        sigmat::app::Application second;
        QVERIFY(sigmat::app::start_application(*again, second, [] {}));
        again->show_dialog();
        QVERIFY(QTest::qWaitForWindowExposed(again->dialog()));
        std::vector<std::string> restored;
        for (const auto& c : second.comparison.curves) {
            restored.push_back(c.label);
            QVERIFY(!c.curve.energy.empty());
        }
        QCOMPARE(restored, labels);
        QVERIFY(again->menu_action(id::log_sigma)->isChecked());
        again->menu_action(id::compare_show)->trigger();
        QCOMPARE(again->comparison_window()->findChild<QListWidget*>("curves")->count(), 4);
        again->close_dialog();
    }

    void cleanupTestCase() { platform_.reset(); }

  private:
    void takesInputAgain() {
        auto* ve = control<QRadioButton>(*platform_, id::ve);
        auto* dea = control<QRadioButton>(*platform_, id::dea);
        QTest::mouseClick(ve, Qt::LeftButton);
        QVERIFY(platform_->widget(id::vib_final)->isEnabled());
        QTest::mouseClick(dea, Qt::LeftButton);
        QVERIFY(!platform_->widget(id::vib_final)->isEnabled());
    }

    QTemporaryDir home_;
    std::string db_, work_;
    std::unique_ptr<QtPlatform> platform_;
    sigmat::app::Application application_;
};

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ARTIFACT-FOLDER\n", argv[0]);
        return 2;
    }
    artifacts = argv[1];
    int qt_argc = 1;
    QApplication app(qt_argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    RealDisplay test;
    return QTest::qExec(&test, 1, argv);
}

#include "real_display_test.moc"
