// Level 2 in the window: the announcement in "/join", the sync block that
// rebuilds the table silently, away marks, the judgement of each hit with the
// hitter's answer box, and coming back on its own after a dropped connection.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <exception>

#include "client/main_window.h"
#include "platform/cp932.h"
#include "protocol/command_layout.h"
#include "protocol/command_text.h"
#include "protocol/command_words.h"
#include "protocol/fields.h"
#include "protocol/level2.h"

using namespace Protocol;

namespace {

// "/state begin " token " " grace: where the token and the grace period stand.
constexpr int TokenPosition = static_cast<int>(Level2::StateBegin.size()) + 2;
constexpr int GracePosition = TokenPosition + Level2::TokenLength + 1;
// The longest grace period taken: 9 digits.
constexpr int GraceDigits = 9;

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

void TForm1::SendJoin()
{
    // A resume names its table too: only there does the token take the entry back.
    const AnsiString trailer = TablePlace.Announcement(Reconnector.Active() ? token_ : AnsiString(), KeptKey());
    const AnsiString packet = TextPacket(AnsiString(Command::Join) + " " + PlayerName) + trailer;
    pcs.Send(packet.data(), static_cast<int>(packet.size()));
}

bool TForm1::Level2Command(std::string_view text)
{
    if (IsCommand(text, Level2::StateBegin))
        return SyncBegin(text);
    if (!level2_)
        return false;
    if (IsCommand(text, Level2::StateEnd))
        SyncEnd();
    else if (IsCommand(text, Command::Away))
        AwayOrBack(text, true);
    else if (IsCommand(text, Command::Back))
        AwayOrBack(text, false);
    else if (IsCommand(text, Command::Judge))
        Judge(text);
    else if (IsCommand(text, Command::Tables))
        TablesCommand(text);
    else if (IsCommand(text, Command::Game))
        GameCommand(text);
    else if (IsCommand(text, Command::NameKey))
        NameKeyCommand(text);
    else if (IsCommand(text, Command::Site))
        SiteCommand(text);
    else
        return false;
    return true;
}

bool TForm1::SyncBegin(std::string_view text)
{
    const AnsiString token = Field(text, TokenPosition, Level2::TokenLength);
    const AnsiString grace = FieldFrom(text, GracePosition);
    if (Field(text, TokenPosition - 1, 1) != " " || !Level2::IsToken(token) ||
        Field(text, GracePosition - 1, 1) != " " || !AllDigits(grace) || grace.size() > GraceDigits)
        return false;
    level2_ = true;
    syncing_ = true;
    TablePlace.SyncBegan();
    timLevel.SetEnabled(false);
    token_ = token;
    graceSeconds_ = std::stoi(grace);
    // Whoever is away now is listed again after the block.
    Table.ClearAway();
    // A running game is told again after the block.
    Game.Clear();
    Reconnector.Stop();
    RenderReconnect();
    RenderRoster();
    RenderSeats();
    RenderPlace();
    return true;
}

void TForm1::SyncEnd()
{
    syncing_ = false;
    // A watcher holds no seat, even one whose occupant has its name.
    if (!TablePlace.Watching())
        Table.ClaimSeatsOf(PlayerName);
    RenderSeats();
    // A practice table starts its game once the player is in.
    if (practice_) {
        const TDealOptions options = *practice_;
        practice_.reset();
        StartDeal(options);
    }
}

void TForm1::AwayOrBack(std::string_view text, bool away)
{
    Table.SetAway(NameField(text, Layout::AwayName), away);
    RenderRoster();
    RenderSeats();
}

void TForm1::Judge(std::string_view text)
{
    if (Table.ApplyJudgement(text))
        RenderJudgement();
}

void TForm1::btnShowAnswerClick()
{
    Table.ShowExpression();
    RenderJudgement();
}

void TForm1::edtAnswerEnter()
{
    const AnsiString answer = Cp932::Encode(edtAnswer->text());
    const std::optional<TJudgement>& judgement = Table.Judgement();
    const bool hitter = (judgement && judgement->Hitter == PlayerName) || Game.Hitter() == PlayerName;
    if (answer.empty() || !level2_ || !connected_ || !hitter)
        return;
    SendText(AnsiString(Command::Answer) + " " + PlayerName + " " + answer);
    edtAnswer->clear();
}

bool TForm1::Dropped() const
{
    return connected_ && level2_ && !leaving_ && TablePlace.MayResume();
}

void TForm1::ReconnectAttempt()
{
    try {
        pcs.SetActive(true);
    } catch (const std::exception&) {
        Reconnector.AttemptFailed();
        if (!Reconnector.Active())
            ShowDisconnected();
    }
    RenderReconnect();
}

void TForm1::RenderReconnect()
{
    // The room stays in view but cannot be used while the player is away.
    Panel1->setEnabled(!Reconnector.Active());
    if (Reconnector.Active() && Reconnector.Waiting())
        lblReconnect->setText(tr("再接続中… %1 秒後に再試行します（%2 回目）")
                                  .arg(Reconnector.WaitSeconds())
                                  .arg(Reconnector.Attempt()));
    else if (Reconnector.Active())
        lblReconnect->setText(tr("再接続中…（%1 回目）").arg(Reconnector.Attempt()));
    else if (Reconnector.GaveUp())
        lblReconnect->setText(tr("再接続できませんでした"));
    lblReconnect->setVisible(Reconnector.Active() || Reconnector.GaveUp());
    if (lblReconnect->isVisible())
        lblReconnect->raise();
}

void TForm1::StartOver()
{
    Reconnector.Stop();
    level2_ = false;
    syncing_ = false;
    leaving_ = false;
    token_.clear();
    graceSeconds_ = 0;
    Table.Hide();
    Table.ClearAway();
    TableList.Clear();
    Game.Clear();
    practice_.reset();
    Site.Clear();
    registering_ = false;
    RenderTable();
    RenderReconnect();
    RenderPlace();
}
