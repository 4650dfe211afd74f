// kivolcli, the game client: the player's window and its version dialog, until
// the window is closed. --connect (or a kivol:// link) and --name fill the
// address and name boxes, --watch ticks the watch box; with an address and a
// name, the client connects as soon as its window is up. --lang chooses the
// window's language; without it the locale does.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "client/client_language.h"
#include "client/client_options.h"
#include "client/main_window.h"
#include "client/version_dialog.h"
#include "platform/application.h"
#include "platform/command_line.h"

int main(int argc, char** argv)
{
    QCoreApplication::setApplicationVersion(QStringLiteral(KIVOL_VERSION));
    // Read before the application object exists, so that --help and
    // --version answer on a machine without a display.
    const TParsedCommandLine<TClientOptions> parsed = ParseClientOptions(CommandLineArguments(argc, argv));
    if (parsed.Outcome.Exit)
        return FinishCommandLine(parsed.Outcome);
    QApplication app(argc, argv);
    // The user's settings (the keys of registered names) live under these names.
    QCoreApplication::setOrganizationName(QStringLiteral("kivol"));
    QCoreApplication::setApplicationName(QStringLiteral("kivolcli"));
    // Desktops match the window to its menu entry and icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(KIVOL_APP_ID));
    const TClientLanguage language = parsed.Values.Language.value_or(EnvironmentLanguage());
    if (!UseClientLanguage(language))
        std::fprintf(stderr, "kivolcli: the English translation cannot be loaded; the window stays Japanese\n");
    Application.Title = TForm1::ProgramTitle();
    try {
        TForm1 Form1;
        TForm2 Form2(&Form1);
        Form1.Form2 = &Form2;
        Form1.edtName->setText(parsed.Values.Name);
        Form1.edtAddress->setText(parsed.Values.Address);
        Form1.chkWatch->setChecked(parsed.Values.Watch);
        Form1.show();
        // A link names no player: the name is what remains to be typed.
        if (!parsed.Values.Address.isEmpty() && parsed.Values.Name.isEmpty())
            Form1.edtName->setFocus();
        if (parsed.Values.ConnectAtStart())
            Application.Post([&Form1] { Form1.btnConnectClick(); });
        return QApplication::exec();
    } catch (const std::exception& e) {
        Application.HandleException(e);
        return EXIT_FAILURE;
    }
}
