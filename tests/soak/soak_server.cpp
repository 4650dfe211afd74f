#include "soak_server.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include "platform/application.h"

namespace soak {

namespace {

int liveConnections = 0;

class CountedConnection : public TPacketServerClientWinSocket {
public:
    CountedConnection(int socketHandle, TServerWinSocket* server) : TPacketServerClientWinSocket(socketHandle, server)
    {
        ++liveConnections;
    }
    ~CountedConnection() override { --liveConnections; }
};

// The soak's clients speak level 1 and its fresh client clears the names the
// others left behind, as only a trusting server lets it.
TGameRules SoakRules()
{
    TGameRules rules;
    rules.TrustNames = true;
    return rules;
}

}  // namespace

bool CardsConserved(const TGameTable& game)
{
    std::vector<int> cards;
    auto add = [&](const TCardPile& pile) {
        if (pile.Count < 0 || pile.Count > TCardPile::Capacity)
            return false;
        cards.insert(cards.end(), pile.Cards, pile.Cards + pile.Count);
        return true;
    };
    if (!add(game.Yamafuda) || !add(game.Bafuda))
        return false;
    for (const TCardPile& hand : game.Tefuda)
        if (!add(hand))
            return false;
    std::sort(cards.begin(), cards.end());
    std::vector<int> deck(54);
    std::iota(deck.begin(), deck.end(), 1);
    return cards == deck;
}

TCustomPacketServerClientWinSocket* SoakServer::CountingSocket::DoGetSocket(int socketHandle)
{
    auto* connection = new CountedConnection(socketHandle, ServerSocket.get());
    // Packets go to the component's event, as TPacketServerSocket's own connections do.
    connection->OnPacketArrived = [this](TObject*, TCustomWinSocket* socket, const void* data, int size) {
        if (OnPacketArrived)
            OnPacketArrived(this, socket, data, size);
    };
    return connection;
}

SoakServer::SoakServer() : game_(socket_, [this](const AnsiString&) { ++figures_.logLines; }, SoakRules())
{
    Application.OnMessageBox = [this](const QString&, const QString&, int) {
        ++figures_.errorReports;
        return IDOK;
    };
    socket_.OnPacketArrived = [this](TObject*, TCustomWinSocket*, const void*, int) {
        // The game has handled the packet by now.
        ++figures_.packets;
        if (!CardsConserved(game_.Main()))
            ++figures_.pileViolations;
    };
    // The operator window logs every connection with the peer's host name,
    // found by a reverse lookup: the soak pays for it as the program does.
    socket_.OnClientConnect = [this](TObject*, TCustomWinSocket* client) {
        ++figures_.connects;
        client->RemoteHost();
    };
    socket_.OnClientDisconnect = [this](TObject*, TCustomWinSocket* client) {
        ++figures_.disconnects;
        client->RemoteHost();
    };
    // The game's own error handling (log it, clear the code) stays in charge;
    // the soak only counts the causes.
    auto gameError = socket_.OnClientError;
    socket_.OnClientError = [this, gameError](TObject* sender, TCustomWinSocket* client, TErrorEvent event,
                                              int& code) {
        ++figures_.cutsByCode[code];
        gameError(sender, client, event, code);
    };
    socket_.SetAddress("127.0.0.1");
    socket_.SetPort(0);
    socket_.SetActive(true);
}

SoakServer::~SoakServer()
{
    Stop();
    Application.OnMessageBox = nullptr;
}

int SoakServer::Port() const
{
    return socket_.Socket()->LocalPort();
}

int SoakServer::LiveConnectionObjects()
{
    return liveConnections;
}

void SoakServer::Stop()
{
    socket_.SetActive(false);
}

}  // namespace soak
