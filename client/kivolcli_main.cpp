// kivolcli, the game client: the player's window and its version dialog, until
// the window is closed.
#include <QApplication>
#include <cstdlib>
#include <exception>

#include "client/main_window.h"
#include "client/version_dialog.h"
#include "platform/application.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Application.Title = QStringLiteral("Kivolクライアント");
    try {
        TForm1 Form1;
        TForm2 Form2(&Form1);
        Form1.Form2 = &Form2;
        Form1.show();
        return QApplication::exec();
    } catch (const std::exception& e) {
        Application.HandleException(e);
        return EXIT_FAILURE;
    }
}
