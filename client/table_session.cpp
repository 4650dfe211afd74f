// A server of many tables in the window: which table the address names, the
// table list and moving to a table chosen there, watching, a refused join,
// and noticing a server without tables.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "client/main_window.h"
#include "client/table_list_dialog.h"
#include "platform/application.h"
#include "platform/cp932.h"
#include "protocol/command_words.h"
#include "protocol/level2.h"
#include "protocol/tables.h"

using namespace Protocol;

std::optional<TServerAddress> TForm1::AddressToConnect()
{
    TAddressProblem problem = TAddressProblem::None;
    const std::optional<TServerAddress> address = ReadServerAddress(edtAddress->text(), problem);
    if (address)
        return address;
    Application.MessageBox(AddressProblemSentence(problem), tr("警告！！"), MB_OK);
    return std::nullopt;
}

void TForm1::NoteLevel(std::string_view text)
{
    if (IsCommand(text, Command::List)) {
        TablePlace.ListArrived();
        if (TablePlace.Level() == TTablePlace::TLevel::AwaitingSync)
            timLevel.SetEnabled(true);
    } else if (!IsCommand(text, Level2::StateBegin) && TablePlace.Level() == TTablePlace::TLevel::AwaitingSync) {
        Level1Server();
    }
}

void TForm1::Level1Server()
{
    timLevel.SetEnabled(false);
    if (!TablePlace.OtherCommandArrived())
        return;
    if (practice_) {
        practice_.reset();
        mmChat->InsertFirstLine(tr("--- このサーバーは対局に対応していないので、練習はできません ---"));
    }
    if (TablePlace.ChoiceIgnored())
        mmChat->InsertFirstLine(tr("--- このサーバーはテーブルに対応していません。テーブル・鍵・観戦の"
                                   "指定は無視され、ただ一つの卓に参加しました ---"));
    RenderPlace();
}

void TForm1::RenderPlace()
{
    setWindowTitle(TablePlace.Title(ProgramTitle()));
    btnTables->setVisible(level2_ && connected_);
    chkWatch->setEnabled(!connected_ && !Reconnector.Active());
    // A watcher's packets are dropped by the server: nothing offers to send
    // one. While a dealt game runs, the dealer alone deals, sets the target
    // and moves the cards: the server drops those moves from players.
    const bool acts = !TablePlace.Watching();
    const bool moves = acts && !Game.Running();
    for (int s = 0; s < SeatCount; ++s) {
        btnTakes[s]->setEnabled(acts);
        btnB2Ts[s]->setEnabled(moves);
        btnT2Ys[s]->setEnabled(moves);
    }
    for (QWidget* control : std::initializer_list<QWidget*>{btnHit, btnHele, edtMessage, btnSend, edtAnswer})
        control->setEnabled(acts);
    for (QWidget* control : std::initializer_list<QWidget*>{btnDraw, edtMokuteki, btnSet, btnB2Y, btnInit})
        control->setEnabled(moves);
    RenderGame();
    RenderNames();
}

void TForm1::btnTablesClick()
{
    TablesDialog->Render(TableList);
    TablesDialog->show();
    TablesDialog->raise();
    timTablesTimer();
    timTables.SetEnabled(true);
}

void TForm1::timTablesTimer()
{
    if (!TablesDialog->isVisible()) {
        timTables.SetEnabled(false);
        return;
    }
    // The server answers a connection at most once a second; the timer asks
    // less often than that.
    if (connected_ && level2_)
        SendText(Command::Tables);
}

void TForm1::TablesCommand(std::string_view text)
{
    if (TableList.Apply(text))
        TablesDialog->Render(TableList);
}

void TForm1::GoToTable(const TTableChoice& choice)
{
    TablesDialog->hide();
    if (btnDisconnect->isEnabled())
        btnDisconnectClick();
    edtAddress->setText(AddressText({server_, choice.Table, choice.Key}));
    chkWatch->setChecked(choice.Watch);
    btnConnectClick();
}

void TForm1::RefusedCommand(std::string_view text)
{
    const std::optional<Tables::TRefusedCommand> refused = Tables::ReadRefused(text);
    if (!refused) {
        UnknownCommand();
        return;
    }
    // The server closes the connection; the player is not taken back by
    // itself, whatever the refusal.
    leaving_ = true;
    Reconnector.Stop();
    pcs.SetActive(false);
    const QString sentence = refused->Text.empty()
                                 ? tr("サーバーが接続を断りました（%1）").arg(Cp932::Decode(refused->Reason))
                                 : Cp932::Decode(refused->Text);
    if (refused->Reason == Tables::RefusalReason(Tables::TRefusal::Claimed)) {
        ClaimedRefusal(sentence);
        return;
    }
    // Shown after the packet handler has returned, as every report is.
    Application.Post(
        [sentence] { Application.MessageBox(sentence, tr("接続できません"), MB_OK); });
}
