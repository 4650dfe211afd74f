#pragma once

// The game server on a real packet server socket at 127.0.0.1 with an
// ephemeral port, wired as the operator window wires it, with its log and any
// message box recorded instead of shown.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <memory>
#include <string>
#include <vector>

#include "loopback_peer.h"
#include "platform/application.h"
#include "platform/cp932.h"
#include "protocol/padded_name.h"
#include "server/game_server.h"

namespace server_test {

// A command text and its NUL, as a client sends it.
inline std::string Nul(std::string_view text)
{
    return std::string(text) + '\0';
}

class GameServerTest : public ::testing::Test {
protected:
    explicit GameServerTest(const TGameRules& rules = TrustingRules())
        : server(socket, Log(), rules), game(server.Main())
    {
    }

    // The rules our server plays by unless told otherwise: names checked,
    // a grace period of 120 s.
    static TGameRules IdentityRules() { return TGameRules(); }

    // The rules a level-1 server plays by: names are not checked, so tests
    // may send what no real client sends (another player's name, chat from a
    // connection that never joined).
    static TGameRules TrustingRules()
    {
        TGameRules rules;
        rules.TrustNames = true;
        return rules;
    }

    TGameServer::LogFunction Log()
    {
        return [this](const AnsiString& message) { log.push_back(message); };
    }

    void SetUp() override
    {
        Application.OnMessageBox = [this](const QString& text, const QString&, int) {
            messageBoxes.push_back(text.toStdString());
            return IDOK;
        };
        socket.SetAddress("127.0.0.1");
        socket.SetActive(true);
        port = socket.Socket()->LocalPort();
    }

    void TearDown() override { Application.OnMessageBox = nullptr; }

    // A peer whose connection the server has accepted (found by the peer's
    // own port, so that other connections closing meanwhile do not matter).
    std::unique_ptr<LoopbackPeer> Connect()
    {
        auto peer = std::make_unique<LoopbackPeer>(port);
        EXPECT_TRUE(peer->Open());
        sockaddr_storage own{};
        socklen_t length = sizeof own;
        getsockname(peer->Handle(), reinterpret_cast<sockaddr*>(&own), &length);
        const int ownPort = ntohs(reinterpret_cast<const sockaddr_in&>(own).sin_port);
        EXPECT_TRUE(WaitUntil([&] {
            for (int i = 0; i < socket.ClientCount(); ++i)
                if (socket.GetClientSocket(i)->RemotePort() == ownPort)
                    return true;
            return false;
        }));
        return peer;
    }

    // The next packet at peer, or a marker that fails the comparison.
    static std::string Next(LoopbackPeer& peer) { return peer.NextPacket().value_or("<nothing arrived>"); }

    // Sends a chat line from sender and expects it as the next packet at each
    // of peers: proof that nothing else was sent to them before it.
    static void ExpectOnlyMarkerNext(LoopbackPeer& sender, std::initializer_list<LoopbackPeer*> peers)
    {
        ASSERT_TRUE(sender.SendPacket(Nul("marker")));
        for (LoopbackPeer* peer : peers)
            EXPECT_EQ(Next(*peer), Nul("marker"));
    }

    // Joins the padded name from peer and takes the "/list" it is answered with.
    void Join(LoopbackPeer& peer, std::string_view name)
    {
        ASSERT_TRUE(peer.SendPacket(Nul("/join " + Protocol::PaddedName(name))));
        const std::string list = Next(peer);
        EXPECT_EQ(list.rfind("/list ", 0), 0u) << list;
    }

    bool Logged(std::string_view utf8Line) const
    {
        const AnsiString line = Cp932::FromUtf8(utf8Line);
        for (const AnsiString& entry : log)
            if (entry == line)
                return true;
        return false;
    }

    TPacketServerSocket socket;
    std::vector<AnsiString> log;
    TGameServer server;
    // The main table, where every test without tables plays.
    TGameTable& game;
    std::vector<std::string> messageBoxes;
    int port = 0;
};

}  // namespace server_test
