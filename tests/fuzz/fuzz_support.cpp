#include "fuzz_support.h"

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <bitset>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/application.h"
#include "table/game_table.h"

namespace fuzz {

namespace {

int errorReports = 0;

// Bytes written to the server's end that it has not taken yet.
int Waiting(int handle)
{
    int waiting = 0;
    return ioctl(handle, FIONREAD, &waiting) == 0 ? waiting : 0;
}

}  // namespace

void InitApplication()
{
    if (QCoreApplication::instance())
        return;
    // A widget application on the offscreen platform, so that the client's
    // window can be fuzzed too; the socket targets need only its event loop.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "kivol_fuzz";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    Application.OnMessageBox = [](const QString&, const QString&, int) {
        ++errorReports;
        return IDOK;
    };
}

int ErrorReports()
{
    return errorReports;
}

void Fail(const std::string& what)
{
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what.c_str());
    std::abort();
}

std::string_view InputReader::Bytes(std::size_t count)
{
    const std::size_t n = std::min(count, size_ - std::min(pos_, size_));
    const std::string_view run(reinterpret_cast<const char*>(data_) + pos_, n);
    pos_ += n;
    return run;
}

Pair Connect(TCustomPacketServerSocket& server)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0)
        Fail("no socket pair");
    TServerClientWinSocket* connection = nullptr;
    server.GetSocketEvent(server.Socket(), ends[0], connection);
    connection->AfterConstruction();
    return {connection, ends[1]};
}

bool Open(const TCustomPacketServerSocket& server, const TCustomWinSocket* connection)
{
    for (int i = 0; i < server.ClientCount(); ++i)
        if (server.GetClientSocket(i) == connection)
            return connection->SocketHandle() >= 0;
    return false;
}

bool WriteAll(int peer, std::string_view bytes)
{
    for (int attempts = 0; !bytes.empty(); ++attempts) {
        const ssize_t n = ::send(peer, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (attempts > 1000)
            Fail("the peer end stays full");
        QCoreApplication::processEvents();
    }
    return true;
}

void Settle(const TCustomPacketServerSocket& server, const TCustomWinSocket* connection)
{
    for (int rounds = 0; rounds < 1000; ++rounds) {
        QCoreApplication::processEvents();
        if (!Open(server, connection) || Waiting(connection->SocketHandle()) == 0)
            return;
    }
    Fail("a connection stopped taking the bytes waiting for it");
}

void AwaitClose(const TCustomPacketServerSocket& server, const TCustomWinSocket* connection)
{
    for (int rounds = 0; rounds < 1000 && Open(server, connection); ++rounds)
        QCoreApplication::processEvents();
    if (Open(server, connection))
        Fail("the end of the stream did not close the connection");
}

void RunPosted()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

bool TokenLedger::Leaks(std::string_view payload, int slot) const
{
    constexpr std::size_t TokenLength = 32;
    for (std::size_t start = 0; start < payload.size();) {
        std::size_t end = start;
        while (end < payload.size() && std::isxdigit(static_cast<unsigned char>(payload[end])))
            ++end;
        for (std::size_t at = start; end - start >= TokenLength && at + TokenLength <= end; ++at) {
            const auto [first, last] = owners_.equal_range(std::string(payload.substr(at, TokenLength)));
            if (std::any_of(first, last, [&](const auto& owner) { return owner.second != slot; }))
                return true;
        }
        start = end + 1;
    }
    return false;
}

void CheckPiles(const TGameTable& game, int fieldSlots)
{
    // Made only for a failure: this runs after every step.
    const auto where = [&game] { return " at table [" + game.Name() + "]"; };
    std::bitset<55> seen;
    int count = 0;
    auto add = [&](const TCardPile& pile) {
        if (pile.Count < 0 || pile.Count > TCardPile::Capacity)
            Fail("a pile holds " + std::to_string(pile.Count) + " entries" + where());
        for (int i = 0; i < pile.Count; ++i, ++count) {
            const int card = pile.Cards[i];
            if (card < 1 || card > 54 || seen[std::size_t(card)])
                Fail("card " + std::to_string(card) + " lies on a pile" + where());
            seen[std::size_t(card)] = true;
        }
    };
    add(game.Yamafuda);
    add(game.Bafuda);
    for (const TCardPile& hand : game.Tefuda)
        add(hand);
    if (count != 54)
        Fail("the piles hold " + std::to_string(count) + " cards" + where());
    if (game.Bafuda.Count > fieldSlots)
        Fail("the field holds more cards than any table shows" + where());
}

std::string Drain(int peer)
{
    std::string out;
    char chunk[65536];
    ssize_t n;
    while ((n = ::recv(peer, chunk, sizeof chunk, MSG_DONTWAIT)) > 0)
        out.append(chunk, static_cast<std::size_t>(n));
    return out;
}

}  // namespace fuzz

// Every target starts with the application object in place.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::InitApplication();
    return 0;
}
