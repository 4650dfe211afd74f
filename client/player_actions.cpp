// The table's buttons: each checks what this window's table model holds, sends
// one command and, apart from the sit button, changes nothing itself; the
// table changes when the server's copy of the command comes back. Also the
// roster's focus handling.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "client/main_window.h"
#include "platform/application.h"
#include "platform/cp932.h"
#include "protocol/command_words.h"

using namespace Protocol;

namespace {

int Tag(const QPushButton* button)
{
    return button->property("Tag").toInt();
}

AnsiString Digit(int seat)
{
    return std::to_string(seat);
}

void Refuse(const QString& text, const QString& caption)
{
    Application.MessageBox(text, caption, MB_OK);
}

}  // namespace

void TForm1::btnTakeClick(QPushButton* Sender)
{
    const int seat = Tag(Sender);
    // Before the first game a seat is not known to be free.
    const std::optional<AnsiString>& occupant = Table.Table().Occupants[static_cast<std::size_t>(seat)];
    if (occupant && occupant->empty()) {
        SendText(AnsiString(Command::Take) + " " + Digit(seat) + " " + PlayerName);
        Table.SetOwnSeat(seat, true);
        RenderSeats();
    } else if (occupant == PlayerName) {
        SendText(AnsiString(Command::Leave) + " " + Digit(seat));
        Table.SetOwnSeat(seat, false);
        RenderSeats();
    } else {
        Refuse(tr("残念でしたぁ。早い者勝ちですｗ"), tr("警告！！"));
    }
}

void TForm1::btnB2TClick(QPushButton* Sender)
{
    if (Table.FieldCount() == 0) {
        Refuse(tr("もう場札無いでしょ！"), tr("あほ！！"));
        return;
    }
    SendText(AnsiString(Command::B2T) + " " + Digit(Tag(Sender)) + " " + PlayerName);
}

void TForm1::btnT2YClick(QPushButton* Sender)
{
    const int seat = Tag(Sender);
    if (Table.Table().Hands[static_cast<std::size_t>(seat)] == 0) {
        Refuse(tr("もう手札無いでしょ！"), tr("あほ！！"));
        return;
    }
    SendText(AnsiString(Command::T2Y) + " " + Digit(seat) + " " + PlayerName);
}

void TForm1::btnB2YClick()
{
    if (Table.FieldCount() == 0) {
        Refuse(tr("もう場札無いです"), tr("警告"));
        return;
    }
    SendText(Command::B2Y);
}

void TForm1::btnDrawClick()
{
    // Before the first game the pile is not known, which counts as a full pile.
    if (Table.FieldCount() >= SlotCount || Table.Table().Pile.value_or(54) <= 0) {
        Refuse(tr("もう引けません"), tr("警告！！"));
        return;
    }
    SendText(AnsiString(Command::Draw) + " " + PlayerName);
}

void TForm1::btnHitClick()
{
    SendText(AnsiString(Command::Hit) + " " + PlayerName);
}

void TForm1::btnInitClick()
{
    const int answer = Application.MessageBox(
        tr("初期化します。現在プレイ中のゲームのデータはクリアされます。よろしいですか？"),
        tr("警告！！"), MB_OKCANCEL | MB_DEFBUTTON2);
    if (answer == IDOK)
        SendText(Command::Init);
}

void TForm1::btnSetClick()
{
    // Sent as typed, empty or not: the players agree on the target.
    SendText(AnsiString(Command::Set) + " " + PlayerName + " " + Cp932::Encode(edtMokuteki->text()));
}

void TForm1::btnHeleClick()
{
    SendText(Command::Hele);
}

void TForm1::FocusChanged(QWidget* old, QWidget* now)
{
    if (old == lstPlayers)
        lstPlayersExit();
    if (now != lstPlayers)
        return;
    lstPlayersEnter();
    if (old)
        edtMokutekiExit(old);
}

void TForm1::edtMokutekiExit(QWidget* Sender)
{
    // Every edit box and button but the reaction button, and the chat.
    const bool returnsFocus = Sender != btnHele && Sender->window() == this &&
                              (qobject_cast<QLineEdit*>(Sender) || qobject_cast<QPushButton*>(Sender) ||
                               Sender == mmChat);
    if (returnsFocus && QApplication::focusWidget() == lstPlayers)
        Sender->setFocus(Qt::OtherFocusReason);
}

void TForm1::lstPlayersEnter()
{
    lstPlayers->clearSelection();
}

void TForm1::lstPlayersExit()
{
    lstPlayers->clearSelection();
}
