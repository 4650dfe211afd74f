// kivolsrv, the game server: one operator window that listens on the game's
// port until it is closed. Without a display (neither DISPLAY nor
// WAYLAND_DISPLAY) it serves headless: no window on screen, every log line on
// standard output, message boxes on standard error.
#include <QApplication>
#include <cstdlib>
#include <exception>

#include "platform/application.h"
#include "server/application_icon.h"
#include "server/server_window.h"

namespace {

bool HasDisplay()
{
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool headless = !HasDisplay();
    if (headless)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    Application.Title = QStringLiteral("Kivolサーバー");
    Application.Headless = headless;
    try {
        QApplication::setWindowIcon(ServerIcon());
        TForm1 form;
        if (!form.FormCreate())
            return EXIT_FAILURE;
        form.show();
        return QApplication::exec();
    } catch (const std::exception& e) {
        Application.HandleException(e);
        return EXIT_FAILURE;
    }
}
