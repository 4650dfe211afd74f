// kivolsrv, the game server: one operator window that listens on the game's
// port until it is closed. Without a display (neither DISPLAY nor
// WAYLAND_DISPLAY), or with --headless, it serves headless: no window on
// screen, every log line on standard output, message boxes on standard error.
#include <sys/resource.h>

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "platform/application.h"
#include "platform/command_line.h"
#include "platform/epoll_event_dispatcher.h"
#include "server/application_icon.h"
#include "server/headless_environment.h"
#include "server/operator_start.h"
#include "server/server_options.h"
#include "server/server_window.h"
#include "server/signal_events.h"
#include "server/state_directory.h"
#include "server/table_keeper.h"

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

// A server of many tables holds a file for every player: the soft limit on
// open files (often 1,024) is raised to what the system allows the process.
void RaiseOpenFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setApplicationVersion(QStringLiteral(KIVOL_VERSION));
    // Read before the application object exists: --help and --version answer
    // on a machine without a display, and --headless decides the platform.
    const TParsedCommandLine<TServerOptions> parsed = ParseServerOptions(CommandLineArguments(argc, argv));
    if (parsed.Outcome.Exit)
        return FinishCommandLine(parsed.Outcome);
    RaiseOpenFileLimit();
    const bool headless = parsed.Values.Headless || !HasDisplay();
    THeadlessEnvironment quiet;
    if (headless) {
        quiet.Enter();
        // No window is shown: the loop sleeps in the sockets' epoll handle,
        // one system call a wake-up however many players are connected.
        QCoreApplication::setEventDispatcher(new TEpollEventDispatcher);
    }
    QApplication app(argc, argv);
    Application.Title = QStringLiteral("Kivolサーバー");
    Application.Headless = headless;
    if (headless)
        quiet.ReportMessageBoxes();
    try {
        QApplication::setWindowIcon(ServerIcon());
        // Declared first so that it is released last, after the records' writer has finished.
        TStateLock stateLock;
        // Caught from before the ports open: a SIGTERM that comes while the
        // server starts waits in its pipe until the event loop runs, and then
        // saves the tables like any other.
        TSignalEvents signalEvents;
        TForm1 form(parsed.Values);
        std::unique_ptr<Control::TControlServer> control;
        // Never serve without the bans the operator gave.
        if (const QString problem = StartOperatorTools(parsed.Values, form.Game, form.Operator, stateLock, control);
            !problem.isEmpty()) {
            std::fprintf(stderr, "kivolsrv: %s\n", problem.toLocal8Bit().constData());
            return EXIT_FAILURE;
        }
        if (!form.FormCreate())
            return EXIT_FAILURE;
        TTableKeeper keeper(form, StateDirectory(parsed.Values.StateDirectory));
        // A stop (SIGTERM) and the end of the operator's shutdown both keep the tables.
        form.Operator.OnShutdown = [&keeper] { keeper.SaveAndClose(); };
        signalEvents.OnTerminate = [&keeper] { keeper.SaveAndClose(); };
        // The operator renewed the web port's certificate (systemctl reload).
        signalEvents.OnReload = [&form] {
            if (form.WebPort)
                form.WebPort->Reload();
        };
        if (!headless)
            form.show();
        return QApplication::exec();
    } catch (const std::exception& e) {
        Application.HandleException(e);
        return EXIT_FAILURE;
    }
}
