// Dealt games in the window: the 対局 button and its fields, the "/game"
// lines rendered (the round and the host, the open answer's countdown with
// the focus in the hitter's answer box, penalties, computer players marked,
// the standings with もう一局), the stop, and practice at a private table of
// one's own. The game itself is the model's; the window shows it and sends.
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <utility>

#include "client/deal_dialog.h"
#include "client/main_window.h"
#include "platform/application.h"
#include "platform/cp932.h"
#include "protocol/command_words.h"

using namespace Protocol;

namespace {

QString Trimmed(const AnsiString& paddedName)
{
    return Cp932::Decode(paddedName).trimmed();
}

// A practice game's fields as the dialog first offers them: a new target
// each round against two computer players.
TDealOptions PracticeOptions()
{
    TDealOptions options;
    options.Target.reset();
    options.Bots = 2;
    return options;
}

}  // namespace

void TForm1::btnDealClick()
{
    DealDialog->OnStart = [this](const TDealOptions& options) { StartDeal(options); };
    DealDialog->Open(tr("対局の設定"), dealOptions_);
}

void TForm1::btnPracticeClick()
{
    DealDialog->OnStart = [this](const TDealOptions& options) {
        // At the server of the connection, or of the address box.
        if (!connected_) {
            const std::optional<TServerAddress> address = AddressToConnect();
            if (!address)
                return;
            server_ = address->Server;
        }
        const TTableChoice choice = TTableList::PracticeChoice(tr("練習"));
        GoToTable(choice);
        // The connection is under way unless the name box was refused.
        if (TablePlace.Choice() == choice)
            practice_ = options;
    };
    DealDialog->Open(tr("練習"), PracticeOptions());
}

void TForm1::btnStopDealClick()
{
    const int answer = Application.MessageBox(tr("対局をやめます。よろしいですか？"), tr("対局"),
                                              MB_OKCANCEL | MB_DEFBUTTON2);
    if (answer == IDOK && connected_)
        SendText(DealStopText(PlayerName));
}

void TForm1::btnOneMoreClick()
{
    StartDeal(dealOptions_);
}

void TForm1::StartDeal(const TDealOptions& options)
{
    if (!connected_ || !level2_ || TablePlace.Watching())
        return;
    dealOptions_ = options;
    // The server starts a game only for a seated player: one without a seat
    // sits first (the server takes the packets in order).
    if (!Table.HoldsASeat()) {
        const std::optional<int> seat = Table.FreeSeat();
        if (!seat) {
            Application.Post([] { Application.MessageBox(tr("空いている席がありません"), tr("対局"), MB_OK); });
            return;
        }
        SendText(AnsiString(Command::Take) + " " + std::to_string(*seat) + " " + PlayerName);
        Table.SetOwnSeat(*seat, true);
        RenderSeats();
    }
    SendText(DealStartText(PlayerName, options));
}

void TForm1::GameCommand(std::string_view text)
{
    // A line this client cannot read, from a newer server, changes nothing.
    const std::optional<TDealtGame::TEvent> event = Game.Apply(text, Now());
    if (!event)
        return;
    switch (*event) {
    case TDealtGame::TEvent::Started:
        // The dealer seated the players again after its "/init".
        Table.ClaimSeatsOf(PlayerName);
        standingsClosed_ = false;
        break;
    case TDealtGame::TEvent::Ended: {
        // もう一局 starts the same game; without bots the level stays as chosen.
        const int level = dealOptions_.Level;
        dealOptions_ = Game.Options();
        if (dealOptions_.Bots == 0)
            dealOptions_.Level = level;
        standingsClosed_ = false;
        break;
    }
    case TDealtGame::TEvent::Refused: {
        // The refusal answers a "/register" as a "/deal".
        const QString caption = std::exchange(registering_, false) ? tr("名前の登録") : tr("対局");
        const QString sentence = Cp932::Decode(Game.Refusal());
        Application.Post([sentence, caption] { Application.MessageBox(sentence, caption, MB_OK); });
        break;
    }
    default:
        break;
    }
    RenderPlace();
    RenderSeats();
    RenderRoster();
    RenderJudgement();
    if (*event == TDealtGame::TEvent::AnswerOpened && Game.Hitter() == PlayerName && edtAnswer->isVisible())
        edtAnswer->setFocus(Qt::OtherFocusReason);
}

void TForm1::timAnswerTimer()
{
    RenderGameLive();
    if (!Game.Hitter())
        timAnswer.SetEnabled(false);
}

void TForm1::RenderGame()
{
    const bool offered = level2_ && connected_ && !TablePlace.Watching();
    btnDeal->setVisible(offered && !Game.Running());
    btnStopDeal->setVisible(offered && Game.MayStop(PlayerName, Table.Table(), roster_));
    QString summary;
    if (Game.Running())
        summary = Game.Round() > 0 ? tr("第%1局 ・ 親番 %2").arg(Game.Round()).arg(Trimmed(Game.Host()))
                                   : tr("親番 %1").arg(Trimmed(Game.Host()));
    lblGame->setText(summary);
    RenderGameLive();
    const bool open = Game.Hitter().has_value();
    if (timAnswer.Enabled() != open)
        timAnswer.SetEnabled(open);
    RenderStandings();
}

void TForm1::RenderGameLive()
{
    QString text;
    if (const std::optional<AnsiString> hitter = Game.Hitter()) {
        const int seconds = Game.SecondsLeft(Now());
        text = *hitter == PlayerName ? tr("あなたの解答 残り %1 秒").arg(seconds)
                                     : tr("%1 の解答 残り %2 秒").arg(Trimmed(*hitter)).arg(seconds);
    } else if (Game.Running() && Game.LastPenalty()) {
        const QString name = Trimmed(Game.LastPenalty()->Name);
        switch (Game.LastPenalty()->Why) {
        case TGamePenalty::TWhy::Wrong: text = tr("%1：叩き違いのペナルティ").arg(name); break;
        case TGamePenalty::TWhy::Answer: text = tr("%1：誤答のペナルティ").arg(name); break;
        case TGamePenalty::TWhy::Time: text = tr("%1：時間切れのペナルティ").arg(name); break;
        }
    }
    lblGameLive->setText(text);
    lblGameLive->setVisible(!text.isEmpty());
}

void TForm1::RenderStandings()
{
    const bool shown = Game.Ended() && !standingsClosed_;
    frmStandings->setVisible(shown);
    if (!shown)
        return;
    lblStandingsTitle->setText(Game.EndReason() == "stop" ? tr("終局（中止）") : tr("終局"));
    QStringList lines;
    for (const TGameStanding& standing : Game.Standings())
        lines << tr("%1位　%2　%3枚")
                     .arg(standing.Place)
                     .arg(Game.IsBot(standing.Name) ? PlayerCaption(standing.Name) : Trimmed(standing.Name))
                     .arg(standing.Cards);
    lblStandings->setText(lines.join(u'\n'));
    btnOneMore->setVisible(level2_ && connected_ && !TablePlace.Watching());
    frmStandings->raise();
}

QString TForm1::PlayerCaption(const AnsiString& paddedName) const
{
    const auto bot = Game.Bots().find(paddedName);
    if (bot == Game.Bots().end())
        return Cp932::Decode(paddedName);
    return tr("%1（CPU %2）").arg(Trimmed(paddedName), TDealDialog::LevelName(bot->second));
}
