// The program sigmat: the real dialog on Qt. It reads no arguments of its own apart from
// --version and --help, which print and end before any window system is touched; Qt's own
// options, such as -platform, still work. It always ends with exit code 0.
#include "app/application.h"
#include "app/resources/main_dialog_description.h"
#include "curves/export.h"
#include "platform/qt/qt_platform.h"
#include "process/plotter_process.h"

#include <QApplication>

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* help_text =
    "Usage: sigmat [--version | --help] [Qt options]\n"
    "\n"
    "Sigmat plots electron-molecule collision cross sections (DEA, VE, AED) of diatomic\n"
    "molecules from a database of text files with gnuplot: state-resolved, folded with a\n"
    "finite electron-energy resolution, or averaged over a thermal gas.\n"
    "\n"
    "It opens its dialog; the setup (database, work and gnuplot directories) is kept in\n"
    "Sigmat/Sigmat.ini in your profile ($USERPROFILE, else $HOME). On the first start the\n"
    "database directory is the folder Sigmat is started from.\n"
    "\n"
    "  --version   print the version and end\n"
    "  --help      print this help and end\n"
    "\n"
    "The command line tool sigmat-cli gives the same curves as tables and figures.\n";

} // namespace

int main(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("sigmat %s\n", std::string(sigmat::curves::program_version()).c_str());
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(help_text, stdout);
            return 0;
        }
    }
    sigmat::process::ignore_file_size_signal();
    QApplication qt_app(argc, argv);
    QApplication::setApplicationName("Sigmat");
    QApplication::setApplicationVersion(
        QString::fromStdString(std::string(sigmat::curves::program_version())));
    QApplication::setDesktopFileName("io.sigmat.Sigmat");
    // QApplication takes the C locale from the environment; numbers in files, scripts and
    // edits are written and read with a decimal point whatever the user's language.
    std::setlocale(LC_NUMERIC, "C");

    sigmat::platform::QtPlatform platform(sigmat::app::main_dialog_description());
    sigmat::app::Application application;
    if (!sigmat::app::start_application(platform, application, [] { QCoreApplication::quit(); })) {
        sigmat::app::show_startup_error(platform);
        return 0;
    }
    platform.show_dialog();
    QApplication::exec();
    return 0;
}
