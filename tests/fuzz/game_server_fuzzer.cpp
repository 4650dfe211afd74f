// The server's command handling behind real packet connections: arbitrary
// sequences of packets from two clients into TGameServer. After every packet
// the 54 cards must lie on the eight piles once each (no pile over 54, the
// "no card" value 999 never stored), and every reply must be a whole packet;
// a client can never make the server send "/kill" (only the operator can).
//
// Input: records of a control byte, a length byte n and n payload bytes. Bit 0
// of the control byte picks the sending client; bit 1 appends a NUL to the
// payload, as clients do.
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>

#include "fuzz_support.h"
#include "server/game_server.h"

namespace {

void CheckPiles(const TGameServer& game)
{
    std::vector<int> cards;
    auto add = [&](const TCardPile& pile) {
        if (pile.Count < 0 || pile.Count > TCardPile::Capacity)
            fuzz::Fail("a pile holds " + std::to_string(pile.Count) + " entries");
        cards.insert(cards.end(), pile.Cards, pile.Cards + pile.Count);
    };
    add(game.Yamafuda);
    add(game.Bafuda);
    for (const TCardPile& hand : game.Tefuda)
        add(hand);
    std::sort(cards.begin(), cards.end());
    std::vector<int> deck(54);
    std::iota(deck.begin(), deck.end(), 1);
    if (cards != deck)
        fuzz::Fail("the piles do not hold the cards 1 to 54 once each");
}

std::string Framed(std::string_view payload)
{
    const auto n = static_cast<std::uint32_t>(payload.size());
    std::string bytes{char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
    return bytes.append(payload);
}

// What one client has received, checked packet by packet as it arrives.
struct Client {
    fuzz::Pair pair;
    std::string pending;

    void Receive()
    {
        pending += fuzz::Drain(pair.peer);
        while (pending.size() >= 4) {
            std::uint32_t n = 0;
            for (int i = 0; i < 4; ++i)
                n |= std::uint32_t(static_cast<unsigned char>(pending[std::size_t(i)])) << (8 * i);
            if (n > (1u << 20))
                fuzz::Fail("a reply of " + std::to_string(n) + " bytes");
            if (pending.size() - 4 < n)
                return;
            if (pending.compare(4, 5, "/kill") == 0)
                fuzz::Fail("a client made the server send /kill");
            pending.erase(0, 4 + n);
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::InputReader input(data, size);
    TPacketServerSocket socket;
    TGameServer game(socket, nullptr);
    socket.OnPacketArrived = [&](TObject*, TCustomWinSocket* sender, const void* payload, int length) {
        game.PacketArrived(sender, payload, length);
        CheckPiles(game);
    };
    // Every input shuffles alike, so that a failure replays.
    std::srand(1);
    game.Yamafuda.Reset();
    Client clients[2] = {{fuzz::Connect(socket), {}}, {fuzz::Connect(socket), {}}};

    while (!input.AtEnd()) {
        const std::uint8_t control = input.Byte();
        std::string payload(input.Bytes(input.Byte()));
        if (control & 2)
            payload += '\0';
        Client& sender = clients[control & 1];
        if (!fuzz::WriteAll(sender.pair.peer, Framed(payload)))
            fuzz::Fail("a client's connection closed");
        fuzz::Settle(socket, sender.pair.connection);
        fuzz::RunPosted();
        for (Client& client : clients)
            client.Receive();
    }
    for (Client& client : clients)
        ::close(client.pair.peer);
    return 0;
}
