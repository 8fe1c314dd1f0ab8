// The program sigmat: the real dialog on Qt. It takes no arguments of its own (Qt's own
// options, such as -platform, still work) and always ends with exit code 0.
#include "app/application.h"
#include "app/resources/main_dialog_description.h"
#include "platform/plotter_process.h"
#include "platform/qt/qt_platform.h"

#include <QApplication>

#include <clocale>

int main(int argc, char* argv[]) {
    sigmat::platform::ignore_file_size_signal();
    QApplication qt_app(argc, argv);
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
