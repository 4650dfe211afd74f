#pragma once

// The client's window driven offscreen against servers in the same process,
// over loopback: the real game server, or a recording server that shows the
// exact packets a window sends and sends it exact packets back.

#include <gtest/gtest.h>

#include <QListWidget>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "client/main_window.h"
#include "server/game_server.h"
#include "support/socket_test_support.h"
#include "transport/packet_server_socket.h"

// Readable test failures for Qt texts and lists of them.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace client_test {

inline constexpr int WaitMs = 10000;

// A command text and its NUL, as it travels.
inline std::string Nul(std::string_view text)
{
    return std::string(text) + '\0';
}

// The "/join" a window sends for the padded name: the text, its NUL and the
// level-2 announcement (22 bytes).
inline std::string Join(std::string_view paddedName)
{
    return Nul("/join " + std::string(paddedName)) + "KIVOL/2";
}

// The window's roster rows, top to bottom.
inline QStringList Roster(const TForm1& window)
{
    QStringList rows;
    for (int i = 0; i < window.lstPlayers->count(); ++i)
        rows << window.lstPlayers->item(i)->text();
    return rows;
}

// UTF-8 test text as the Shift-JIS bytes of the wire.
AnsiString Sjis(std::string_view utf8);

// The table list's rows as shown, each row's cells joined by "|".
QStringList ListedTables(const TForm1& window);

// Types the text key by key, as a keyboard or an input method delivers
// characters that no key code names (QTest::keyClicks takes ASCII only).
void TypeText(QWidget* widget, const QString& text);

// The game server on 127.0.0.1 with an ephemeral port.
class GameServer {
public:
    GameServer();
    int Port() const { return port_; }

    TPacketServerSocket socket;
    TGameServer game{socket, nullptr};

private:
    int port_ = 0;
};

// The game server on a clock that only the test moves, its decks shuffled
// from a fixed seed; a window that follows it counts answers down on that
// clock too.
class ClockedGameServer : public GameServer {
public:
    explicit ClockedGameServer(unsigned seed);
    // Moves the clock on and lets every table do what has come due.
    void Advance(std::chrono::milliseconds by);
    void Follow(TForm1& window);

private:
    std::mt19937 engine_;
    std::chrono::steady_clock::time_point clock_ = std::chrono::steady_clock::now();
};

// A server on 127.0.0.1 with an ephemeral port that records every packet its
// clients send, in arrival order, and sends packets to all of them.
class RecordingServer {
public:
    RecordingServer();
    int Port() const { return port_; }
    int ClientCount() const { return socket.ClientCount(); }
    // Sends the payload as one packet to every client.
    void Send(std::string_view payload);
    // Waits until at least count packets have arrived.
    bool WaitForPackets(std::size_t count);

    TPacketServerSocket socket;
    std::vector<std::string> packets;

private:
    int port_ = 0;
};

// One player's window, shown offscreen, with the sounds it starts recorded,
// keeping the keys of registered names in a settings file of its own (or of
// another player's, to stand for the same user's next start).
class Player {
public:
    explicit Player(const QString& assetDirectory = ProgramDirectory());
    QString SettingsFile() const { return settings_.filePath(QStringLiteral("kivolcli.conf")); }

    // Types the name and the loopback address, presses Connect and waits
    // until the connection is up.
    bool Connect(const QString& name, int port);
    // Which of the window's sound buffers were started, as "join", "draw", ...
    QStringList Sounds() const { return sounds_; }
    QStringList ChatLines() const { return window->mmChat->Lines(); }

    std::unique_ptr<TForm1> window;

private:
    QTemporaryDir settings_;
    QStringList sounds_;
};

// Types the name and the loopback address for the port and presses 練習…,
// which opens the game's fields.
void OpenPractice(Player& player, const QString& name, int port);

// One scripted connection of a server: packets written and read whole.
class ScriptedPeer {
public:
    explicit ScriptedPeer(test::RawPeer peer) : peer_(std::move(peer)) {}

    // The next packet's payload, or "(nothing)" when none came in time.
    std::string ReadPacket();
    // Sends each text with its NUL as one packet.
    void Send(std::initializer_list<std::string> texts);
    // Sends the texts, then a chat line, and waits until the window showed it:
    // everything before it has been applied.
    void SendAndWait(Player& player, std::initializer_list<std::string> texts);
    // Shuts the connection down under the window, as a failing network would.
    void ShutDown();
    // Waits until the window has closed the connection.
    bool WaitClosed() { return peer_.WaitClosed(WaitMs); }

private:
    test::RawPeer peer_;
};

}  // namespace client_test
