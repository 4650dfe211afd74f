// Joining and leaving the room, the chat, the roster, and the one handler
// that receives every command from the server.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <cerrno>
#include <exception>

#include "client/main_window.h"
#include "platform/application.h"
#include "platform/cp932.h"
#include "platform/exceptions.h"
#include "platform/host_and_port.h"
#include "protocol/command_layout.h"
#include "protocol/command_text.h"
#include "protocol/command_words.h"
#include "protocol/fields.h"
#include "protocol/padded_name.h"
#include "protocol/roster_text.h"

using namespace Protocol;

namespace {

// The chat shows the newest lines only.
constexpr int ChatLines = 9;

}  // namespace

void TForm1::SendText(std::string_view text)
{
    const AnsiString packet = TextPacket(text);
    pcs.Send(packet.data(), static_cast<int>(packet.size()));
}

void TForm1::btnConnectClick()
{
    const AnsiString name = Cp932::Encode(edtName->text());
    if (name.empty()) {
        Application.MessageBox(tr("さすがに名無し、ってのはまずくない？"), tr("警告！！"), MB_OK);
        return;
    }
    if (name[0] == Command::Prefix) {
        Application.MessageBox(tr("名前の最初の文字は\"/\"以外にしてください"), tr("警告！！"),
                               MB_OK);
        return;
    }
    const std::optional<TServerAddress> address = AddressToConnect();
    if (!address)
        return;
    PlayerName = PaddedName(name);
    server_ = address->Server;
    const THostAndPort server = ServerPlace(Cp932::Encode(address->Server), ServerPort);
    pcs.SetHost(server.Host);
    pcs.SetPort(server.Port);
    TablePlace.Connect({address->Table, address->Key, chkWatch->isChecked()});
    pcs.SetActive(true);
    mmChat->Clear();
    StartOver();
}

void TForm1::pcsConnect(TObject*, TCustomWinSocket*)
{
    connected_ = true;
    Panel1->setVisible(true);
    btnConnect->setEnabled(false);
    edtName->setEnabled(false);
    edtAddress->setEnabled(false);
    btnDisconnect->setEnabled(true);
    SendJoin();
    RenderReconnect();
    RenderPlace();
}

void TForm1::pcsDisconnect(TObject*, TCustomWinSocket*)
{
    const bool dropped = Dropped();
    connected_ = false;
    syncing_ = false;
    timLevel.SetEnabled(false);
    if (Reconnector.Active()) {
        Reconnector.AttemptFailed();
    } else if (dropped) {
        Reconnector.Start(graceSeconds_);
    }
    if (Reconnector.Active())
        RenderReconnect();
    else
        ShowDisconnected();
}

void TForm1::ShowDisconnected()
{
    Panel1->setVisible(false);
    btnConnect->setEnabled(true);
    edtName->setEnabled(true);
    edtAddress->setEnabled(true);
    btnDisconnect->setEnabled(false);
    TablePlace.Disconnect();
    TableList.Clear();
    practice_.reset();
    RenderReconnect();
    RenderPlace();
}

void TForm1::pcsError(TObject*, TCustomWinSocket*, TErrorEvent ErrorEvent, int& ErrorCode)
{
    const bool peerGone = ErrorCode == ECONNRESET || ErrorCode == EPIPE || ErrorCode == ECONNABORTED;
    if ((ErrorEvent == eeReceive || ErrorEvent == eeSend) && peerGone)
        ErrorCode = 0;
    // A failed attempt to come back is shown by the reconnection status.
    if (ErrorEvent == eeConnect && Reconnector.Active())
        ErrorCode = 0;
}

void TForm1::btnDisconnectClick()
{
    leaving_ = true;
    if (!connected_) {
        // Waiting to come back, or an attempt under way: the player gives up.
        Reconnector.Stop();
        pcs.SetActive(false);
        ShowDisconnected();
        return;
    }
    // A watcher holds no roster entry to leave (the server would drop it).
    if (!TablePlace.Watching())
        SendText(AnsiString(Command::Left) + " " + PlayerName);
    for (int s = 0; s < SeatCount; ++s) {
        if (!Table.OwnsSeat(s))
            continue;
        SendText(AnsiString(Command::FLeave) + " " + std::to_string(s));
        Table.SetOwnSeat(s, false);
    }
    RenderSeats();
    pcs.SetActive(false);
}

void TForm1::btnSendClick()
{
    if (edtMessage->text().isEmpty())
        return;
    // The line comes back from the server to every client, this one included,
    // and is shown then.
    SendText(PlayerName + ": " + Cp932::Encode(edtMessage->text()));
    edtMessage->clear();
}

void TForm1::mmChatChange()
{
    while (mmChat->LineCount() > ChatLines)
        mmChat->DeleteLine(ChatLines);
}

void TForm1::pcsPacketArrived(TObject*, TCustomWinSocket*, const void* Data, int Size)
{
    // A command that fails is reported once the packet handler has returned,
    // and the packet counts as handled: an exception leaving here would make
    // the transport deliver it again and hold up every command behind it.
    try {
        ApplyCommand(CommandText(Data, Size));
    } catch (const std::exception& e) {
        const std::string message = e.what();
        Application.Post([message] { Application.HandleException(Exception(message)); });
    } catch (...) {
        Application.Post([] { Application.HandleException(Exception(tr("不明な例外が発生しました").toStdString())); });
    }
}

void TForm1::ApplyCommand(std::string_view text)
{
    NoteLevel(text);
    if (IsCommand(text, Command::Join))
        RoomJoin(text);
    else if (IsCommand(text, Command::Left))
        RoomLeft(text);
    else if (TTableModel::IsTableCommand(text))
        TableCommand(text);
    else if (IsCommand(text, Command::List))
        RoomList(text);
    else if (IsCommand(text, Command::Kill))
        RoomKill(text);
    else if (IsCommand(text, Command::Hele))
        TableHele();
    else if (Level2Command(text))
        return;
    else if (IsCommand(text, Command::Refused))
        RefusedCommand(text);
    else if (text.empty() || text[0] != Command::Prefix)
        ChatLine(text);
    else
        UnknownCommand();
}

void TForm1::RoomJoin(std::string_view text)
{
    mmChat->InsertFirstLine(tr("---  %1 --- が参加しました").arg(Cp932::Decode(NameField(text, Layout::JoinName))));
    SoundPlayer.Play(sndJoin);
}

void TForm1::RoomLeft(std::string_view text)
{
    mmChat->InsertFirstLine(tr("---  %1 --- が退席しました").arg(Cp932::Decode(NameField(text, Layout::LeftName))));
}

void TForm1::RoomList(std::string_view text)
{
    // The roster answers every "/join". Coming back, a level-2 server sends
    // its sync block right after it; a server that sends none (one that
    // speaks level 1 now) has let the player in, and the window is a level-1
    // client again until a sync block says otherwise.
    if (connected_ && Reconnector.Active()) {
        Reconnector.Stop();
        level2_ = false;
        RenderReconnect();
    }
    roster_ = SplitRosterText(FieldFrom(text, Layout::ListRoster));
    Table.KeepAwayIn(roster_);
    RenderRoster();
    RenderSeats();
}

void TForm1::RoomKill(std::string_view text)
{
    // A watcher is no roster entry: a "/kill" of a player of its name is not for it.
    if (NameField(text, Layout::KillName) != PlayerName || TablePlace.Watching())
        return;
    btnDisconnectClick();
    // Shown after the packet handler has returned: no modal loop runs while a
    // packet is being delivered.
    Application.Post([] {
        Application.MessageBox(tr("管理者より強制切断されました"), tr("警告！"), MB_OK);
    });
}

void TForm1::ChatLine(std::string_view text)
{
    Table.ChatLine(text);
    RenderJudgement();
    mmChat->InsertFirstLine(Cp932::Decode(text));
    SoundPlayer.Play(sndMessage);
    FlashTaskbar();
}

void TForm1::UnknownCommand()
{
    mmChat->InsertFirstLine(
        tr("未対応のコマンドです。クライアントとサーバーのバージョンが違う可能性があります"));
}
