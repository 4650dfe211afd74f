// The desktop client's window as a player beside a browser at one table of
// the real kivolsrv: the browser tests start it, tell it on standard input
// what the person at the desktop would do next, and read on standard output
// what the window then shows. The window runs as kivolcli runs it (its main
// window and version dialog, the player's buttons pressed and keys typed);
// only the person is replaced.
//
//   kivol_desktop_player HOST:PORT/TABLE NAME SCREENSHOT_DIR
//
// It first writes "connected" once the window is at the level-2 table, or
// "refused SENTENCE" when the name is registered and the window offers to
// import its key (the offer is accepted: the key dialog is open).
// Commands, one a line; each is answered by one line, "error ..." when what
// was waited for did not come within a minute:
//   sit               presses the first free seat's 座る      -> "seated SEAT"
//   take              at a field that makes the target, presses 叩く, waits
//                     for its own answer box with the focus (screenshot
//                     desktop-answer.png), types the calculation and Return
//                     -> "took CARDS", or "none" when the field makes nothing
//   standings         waits for the standings (screenshot desktop-standings.png)
//                     -> "standings PLACE NAME CARDS|PLACE NAME CARDS|..."
//   again             presses もう一局, waits for the next game  -> "started"
//   stop              presses 対局をやめる and OK, waits for the end -> "stopped"
//   import KEY        pastes the key into the open key dialog and presses
//                     取り込む; the window joins again   -> "connected"
//   quit              closes the window and ends               -> "bye"
// A message box is answered OK at once; its text goes to standard error.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "client/main_window.h"
#include "client/name_key_dialog.h"
#include "client/version_dialog.h"
#include "platform/application.h"
#include "platform/cp932.h"
#include "solver/card_values.h"
#include "solver/solver.h"

namespace {

constexpr int WaitMs = 60000;

bool WaitFor(const std::function<bool()>& condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(WaitMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qSleep(5);
    }
    return true;
}

QString Utf8(const AnsiString& cp932)
{
    return Cp932::Decode(cp932).trimmed();
}

bool AtTable(const TForm1& window)
{
    return window.btnDisconnect->isEnabled() && window.btnDeal->isVisible();
}

class TDesktopPlayer {
public:
    TDesktopPlayer(TForm1& window, QString shots) : w_(window), shots_(std::move(shots)) {}

    std::string Perform(const std::string& command)
    {
        if (command == "sit")
            return Sit();
        if (command == "take")
            return Take();
        if (command == "standings")
            return Standings();
        if (command == "again")
            return Again();
        if (command == "stop")
            return Stop();
        if (command.rfind("import ", 0) == 0)
            return Import(command.substr(7));
        return "error unknown command " + command;
    }

private:
    std::string Sit()
    {
        const std::optional<int> seat = w_.Table.FreeSeat();
        if (!seat)
            return "error no free seat";
        QTest::mouseClick(w_.btnTakes[static_cast<std::size_t>(*seat)], Qt::LeftButton);
        return WaitFor([&] { return w_.Table.Table().Occupants[static_cast<std::size_t>(*seat)] == w_.PlayerName; })
                   ? "seated " + std::to_string(*seat) : "error the seat was not taken";
    }

    // The calculation of the field as the window shows it, found as a player
    // would find it; nothing when the field makes no target.
    std::optional<std::string> Calculation() const
    {
        const TTableState& table = w_.Table.Table();
        std::vector<int> cards;
        for (const TFieldCard& card : table.Field)
            cards.push_back(std::stoi(card.Number));
        const std::optional<std::int64_t> target = table.Target ? Solver::ParseTarget(*table.Target) : std::nullopt;
        if (!target)
            return std::nullopt;
        const Solver::Solution solution =
            Solver::Solve(cards, *target, Solver::Rule::AnySubset, std::chrono::seconds(1));
        if (solution.verdict != Solver::Verdict::Yes)
            return std::nullopt;
        return solution.expression;
    }

    std::string Take()
    {
        const std::optional<std::string> calculation = Calculation();
        if (!calculation)
            return "none";
        QTest::mouseClick(w_.btnHit, Qt::LeftButton);
        if (!WaitFor([&] { return w_.edtAnswer->isVisible() && w_.focusWidget() == w_.edtAnswer; }))
            return "error the answer box did not open with the focus";
        Save("desktop-answer.png");
        QTest::keyClicks(w_.edtAnswer, QString::fromStdString(*calculation));
        QTest::keyClick(w_.edtAnswer, Qt::Key_Return);
        if (!WaitFor([&] { return w_.Game.LastTake() && w_.Game.LastTake()->first == w_.PlayerName; }))
            return "error no take after the calculation " + *calculation;
        return "took " + std::to_string(w_.Game.LastTake()->second);
    }

    std::string Standings()
    {
        if (!WaitFor([&] { return w_.frmStandings->isVisible(); }))
            return "error no standings";
        Save("desktop-standings.png");
        std::string line = "standings";
        const char* separator = " ";
        for (const TGameStanding& standing : w_.Game.Standings()) {
            line += separator + std::to_string(standing.Place) + " " + Utf8(standing.Name).toStdString() + " " +
                    std::to_string(standing.Cards);
            separator = "|";
        }
        return line;
    }

    std::string Again()
    {
        if (!w_.btnOneMore->isVisible())
            return "error no もう一局 button";
        QTest::mouseClick(w_.btnOneMore, Qt::LeftButton);
        return WaitFor([&] { return w_.Game.Running() && !w_.frmStandings->isVisible(); })
                   ? "started" : "error no next game";
    }

    std::string Stop()
    {
        if (!w_.btnStopDeal->isVisible())
            return "error no 対局をやめる button";
        QTest::mouseClick(w_.btnStopDeal, Qt::LeftButton);
        return WaitFor([&] { return w_.Game.Ended() && w_.Game.EndReason() == "stop"; })
                   ? "stopped" : "error the game did not stop";
    }

    std::string Import(const std::string& key)
    {
        if (!w_.NameKeyDialog->isVisible())
            return "error no key dialog";
        w_.NameKeyDialog->edtKey->setText(QString::fromStdString(key));
        QTest::mouseClick(w_.NameKeyDialog->btnImport, Qt::LeftButton);
        return WaitFor([&] { return AtTable(w_); }) ? "connected" : "error not connected after the import";
    }

    void Save(const char* file) const
    {
        w_.grab().save(shots_ + u'/' + QString::fromLatin1(file));
    }

    TForm1& w_;
    QString shots_;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: kivol_desktop_player HOST:PORT/TABLE NAME SCREENSHOT_DIR\n");
        return 2;
    }
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("kivol"));
    QCoreApplication::setApplicationName(QStringLiteral("kivolcli"));
    Application.Title = TForm1::ProgramTitle();
    QString lastMessage;
    Application.OnMessageBox = [&lastMessage](const QString& text, const QString& caption, int) {
        std::cerr << "message box " << caption.toStdString() << ": " << text.toStdString() << std::endl;
        lastMessage = text;
        return IDOK;
    };
    TForm1 window;
    TForm2 version(&window);
    window.Form2 = &version;
    window.edtName->setText(QString::fromUtf8(argv[2]));
    window.edtAddress->setText(QString::fromUtf8(argv[1]));
    window.show();
    QTest::mouseClick(window.btnConnect, Qt::LeftButton);
    if (!WaitFor([&] { return AtTable(window) || window.NameKeyDialog->isVisible(); })) {
        std::cout << "error not connected at a level-2 table" << std::endl;
        return 1;
    }
    if (AtTable(window))
        std::cout << "connected" << std::endl;
    else
        std::cout << "refused " << lastMessage.section(u'\n', 0, 0).toStdString() << std::endl;

    TDesktopPlayer player(window, QString::fromUtf8(argv[3]));
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        input.setEnabled(false);
        std::string command;
        if (!std::getline(std::cin, command) || command == "quit") {
            std::cout << "bye" << std::endl;
            QCoreApplication::quit();
            return;
        }
        std::cout << player.Perform(command) << std::endl;
        input.setEnabled(true);
    });
    return QApplication::exec();
}
