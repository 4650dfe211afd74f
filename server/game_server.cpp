#include "server/game_server.h"

#include <cerrno>

#include "platform/cp932.h"
#include "platform/date_time_text.h"
#include "protocol/card_number_text.h"
#include "protocol/command_text.h"
#include "protocol/command_words.h"
#include "protocol/fields.h"
#include "protocol/padded_name.h"

using namespace Protocol;

TGameServer::TGameServer(TPacketServerSocket& socket, LogFunction addLog, const TGameRules& rules)
    : socket_(socket), addLog_(std::move(addLog)), rules_(rules)
{
    socket_.SetMaxRecvSize(MaxRecvSize);
    socket_.MaxSendQueue = MaxSendQueue;
    // A connection whose send fails is dealt with after the broadcast, on its
    // own, so that one bad peer never keeps a packet from the others.
    socket_.DeferredFlush = true;
    socket_.OnClientError = [this](TObject*, TCustomWinSocket* s, TErrorEvent errorEvent, int& errorCode) {
        ClientError(s, errorEvent, errorCode);
    };
    NewGame();
}

void TGameServer::NewGame()
{
    Bafuda.Clear();
    Yamafuda.Reset();
    for (TCardPile& hand : Tefuda)
        hand.Clear();
}

void TGameServer::PacketArrived(TCustomWinSocket* sender, const void* data, int size)
{
    const AnsiString text = CommandText(data, size);
    if (IsCommand(text, Command::Kill) || IsCommand(text, Command::List)) {
        // Only the server speaks these: relayed, a client could disconnect
        // players or overwrite everyone's roster in the operator's name.
        Log("/拒否  ", text.substr(0, 5), sender);
    } else if (IsCommand(text, Command::Join)) {
        Join(sender, text, data, size);
    } else if (IsCommand(text, Command::Left)) {
        Left(sender, text, data, size);
    } else if (IsCommand(text, Command::Take) || IsCommand(text, Command::Leave) ||
               IsCommand(text, Command::Set)) {
        socket_.SendToAll(data, size);
    } else if (IsCommand(text, Command::FLeave)) {
        socket_.SendToAllExcept(data, size, sender);
    } else if (IsCommand(text, Command::Init)) {
        NewGame();
        socket_.SendToAll(data, size);
    } else if (IsCommand(text, Command::Draw)) {
        Draw(text);
    } else if (IsCommand(text, Command::B2T)) {
        if (TCardPile* hand = SeatHand(text)) {
            int card;
            if (TakeCard(Bafuda, card))
                hand->Push(card);
            socket_.SendToAll(data, size);
        }
    } else if (IsCommand(text, Command::T2Y)) {
        if (TCardPile* hand = SeatHand(text)) {
            int card;
            if (TakeCard(*hand, card))
                Yamafuda.PushAndShuffle(card);
            socket_.SendToAll(data, size);
        }
    } else if (IsCommand(text, Command::B2Y)) {
        int card;
        if (TakeCard(Bafuda, card))
            Yamafuda.PushAndShuffle(card);
        socket_.SendToAll(data, size);
    } else if (IsCommand(text, Command::Hit)) {
        Hit(text);
    } else {
        SendTextToAll(text);
    }
}

void TGameServer::Join(TCustomWinSocket* sender, std::string_view text, const void* data, int size)
{
    socket_.SendToAllExcept(data, size, sender);
    const AnsiString name = Field(text, 7, PaddedNameLength);
    Roster.Add(name);
    SendTextToAll("/list " + Roster.Text());
    Log("/参加  ", name, sender);
}

void TGameServer::Left(TCustomWinSocket* sender, std::string_view text, const void* data, int size)
{
    const AnsiString name = Field(text, 7, PaddedNameLength);
    Roster.Delete(Roster.IndexOf(name));
    SendTextToAllExcept("/list " + Roster.Text(), sender);
    socket_.SendToAllExcept(data, size, sender);
    Log("/退席  ", name, sender);
}

void TGameServer::Draw(std::string_view text)
{
    // An empty deck answers 999 and moves nothing: "no card" is not a card,
    // and a 999 stored in a pile would later be drawn in place of real cards
    // or take the room of one.
    int card;
    if (TakeCard(Yamafuda, card))
        Bafuda.Push(card);
    SendTextToAll(AnsiString(text) + " " + CardNumberText(card));
}

void TGameServer::Hit(std::string_view text)
{
    SendTextToAll(AnsiString(text) + " " + DateTimeText::Now());
}

bool TGameServer::TakeCard(TCardPile& pile, int& card)
{
    card = pile.Pop();
    return card != NoCard;
}

TCardPile* TGameServer::SeatHand(std::string_view text)
{
    // Clients only ever send seats "0" to "5"; a move naming any other seat
    // is dropped whole, neither applied nor relayed.
    const std::size_t seatIndex = 5;
    if (text.size() <= seatIndex || text[seatIndex] < '0' || text[seatIndex] > '5')
        return nullptr;
    return &Tefuda[text[seatIndex] - '0'];
}

void TGameServer::KillPlayer(int index)
{
    if (index < 0 || index >= Roster.Count())
        return;
    SendTextToAll("/kill " + Roster[index]);
}

void TGameServer::ClearRosterEntry(int index)
{
    if (index < 0 || index >= Roster.Count())
        return;
    Roster.Delete(index);
    SendTextToAll("/list " + Roster.Text());
}

void TGameServer::SendTextToAll(std::string_view text)
{
    SendTextToAllExcept(text, nullptr);
}

void TGameServer::SendTextToAllExcept(std::string_view text, TCustomWinSocket* except)
{
    const AnsiString packet = TextPacket(text);
    socket_.SendToAllExcept(packet.data(), static_cast<int>(packet.size()), except);
}

void TGameServer::Log(std::string_view utf8Word, std::string_view subject, TCustomWinSocket* sender)
{
    if (addLog_)
        addLog_(Cp932::FromUtf8(utf8Word) + AnsiString(subject) + "[" + sender->RemoteAddress() + "]");
}

void TGameServer::ClientError(TCustomWinSocket* socket, TErrorEvent errorEvent, int& errorCode)
{
    // A peer's failure or reset is the peer's matter: logged, and the code
    // cleared so that it reaches no message box. The connection closes.
    const std::string reason = errorEvent == eeSend && errorCode == ENOBUFS
                                   ? std::string("送信キューが上限を超えました")
                                   : SocketErrorMessage(errorCode, ErrorEventName(errorEvent));
    Log("/エラー  ", Cp932::FromUtf8(reason), socket);
    errorCode = 0;
}
