// The newcomer's path on a real X display: the real dialog (xcb platform) on the demo
// database, Plot pressed as a user would, a real gnuplot window that is photographed and
// closed with Ctrl-Q, and the dialog taking input again afterwards.
//
// Run under xvfb-run by CTest; arguments: the demo database generator and a folder for
// the screenshots.
#include "app/application.h"
#include "app/resources/main_dialog_description.h"
#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using sigmat::platform::QtPlatform;
namespace id = sigmat::app::id;

namespace {

std::string generator;
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
        db_ = home_.path().toStdString() + "/demo-db";
        QCOMPARE(std::system(("'" + generator + "' '" + db_ + "' > /dev/null").c_str()), 0);
        qputenv("USERPROFILE", home_.path().toUtf8());
        fs::current_path(db_); // a first start takes this folder as the database
        fs::create_directories(artifacts);
        platform_ = std::make_unique<QtPlatform>(sigmat::app::main_dialog_description());
        QVERIFY(sigmat::app::start_application(*platform_, application_, [] {}));
        platform_->show_dialog();
        QVERIFY(QTest::qWaitForWindowExposed(platform_->dialog()));
        work_ = home_.path().toStdString() + "/Sigmat/scripts";

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
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s DEMO-DB-GENERATOR ARTIFACT-FOLDER\n", argv[0]);
        return 2;
    }
    generator = argv[1];
    artifacts = argv[2];
    int qt_argc = 1;
    QApplication app(qt_argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    RealDisplay test;
    return QTest::qExec(&test, 1, argv);
}

#include "real_display_test.moc"
