#pragma once

// The game server with connections in memory and a clock the test moves: a
// whole dealt game runs in microseconds. Every client keeps the table model
// the desktop client renders, fed with what the server sent it.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "client/table_model.h"
#include "protocol/command_text.h"
#include "protocol/command_words.h"
#include "protocol/level2.h"
#include "protocol/padded_name.h"
#include "server/game_server.h"
#include "support/memory_connection.h"

namespace server_test {

// Whether a level-1 client knows the text's word (a chat line included).
inline bool IsLevel1Word(std::string_view text)
{
    if (text.empty() || text[0] != '/')
        return true;
    return std::any_of(std::begin(Protocol::Command::All), std::end(Protocol::Command::All),
                       [&](std::string_view word) { return Protocol::IsCommand(text, word); });
}

// How a client's picture of the table differs from the server's: the pile,
// the field in order, each seat's hand and occupant; empty when they agree.
inline std::string PictureDifference(const TTableState& picture, const TGameTable& table)
{
    if (picture.Pile.value_or(-1) != table.Yamafuda.Count)
        return "pile " + std::to_string(picture.Pile.value_or(-1)) + " vs " + std::to_string(table.Yamafuda.Count);
    if (static_cast<int>(picture.Field.size()) != table.Bafuda.Count)
        return "field of " + std::to_string(picture.Field.size()) + " vs " + std::to_string(table.Bafuda.Count);
    for (int i = 0; i < table.Bafuda.Count; ++i)
        if (std::atoi(picture.Field[static_cast<std::size_t>(i)].Number.c_str()) != table.Bafuda.Cards[i] % 100)
            return "field card " + std::to_string(i);
    for (int s = 0; s < TTableRecord::SeatCount; ++s) {
        const auto seat = static_cast<std::size_t>(s);
        if (picture.Hands[seat] != table.Tefuda[s].Count)
            return "hand of seat " + std::to_string(s);
        if (picture.Occupants[seat].value_or(AnsiString()) != table.Table.Occupants[seat])
            return "occupant of seat " + std::to_string(s);
    }
    return {};
}

struct TRigClient {
    TMemoryConnection Connection;
    bool Level2 = false;
    AnsiString Name;  // padded
    std::string Token;
    TTableModel Model;
    // Every command text received, oldest first.
    std::vector<std::string> Received;
    bool Open = true;
};

class TDealtGameRig {
public:
    explicit TDealtGameRig(std::uint32_t seed = 1) : engine_(seed), server_([this](const AnsiString& line) {
        Log.push_back(line);
    })
    {
        server_.Now = [this] { return now_; };
        server_.SetRandomEngine(engine_);
    }

    TGameServer& Server() { return server_; }
    TGameTable& Table() { return server_.Main(); }
    std::chrono::steady_clock::time_point Now() const { return now_; }

    // A connection that has sent nothing yet (at the main table, as over TCP).
    TRigClient& Open()
    {
        auto& client = *clients_.emplace_back(std::make_unique<TRigClient>());
        server_.ConnectionOpened(&client.Connection);
        return client;
    }

    // A connection that joins the main table in name (level 2: announced).
    TRigClient& Join(std::string_view name, bool level2, std::string_view token = {})
    {
        TRigClient& client = Open();
        client.Level2 = level2;
        client.Name = Protocol::PaddedName(name);
        std::string join = "/join " + client.Name + '\0';
        if (level2)
            join += token.empty() ? std::string(Protocol::Level2::Announcement)
                                  : std::string(Protocol::Level2::ResumePrefix) + std::string(token);
        Deliver(client, join);
        return client;
    }

    // A command text from the client, as its packet.
    void Send(TRigClient& client, std::string_view text) { Deliver(client, Protocol::TextPacket(text)); }
    // A whole payload from the client: the text, its NUL and any trailer.
    void SendPacket(TRigClient& client, const std::string& packet) { Deliver(client, packet); }

    void Close(TRigClient& client)
    {
        client.Open = false;
        server_.ConnectionClosed(&client.Connection);
        Pump();
    }

    // Moves the clock and wakes whatever tables are due, as the server's timer would.
    void Advance(std::chrono::milliseconds by)
    {
        const auto until = now_ + by;
        for (;;) {
            const auto next = Table().NextWake();
            if (next == std::chrono::steady_clock::time_point{} || next > until)
                break;
            now_ = std::max(now_, next);
            server_.WakeTables();
            Pump();
        }
        now_ = until;
        server_.WakeTables();
        Pump();
    }

    // Hands every client what the server sent it.
    void Pump()
    {
        for (auto& client : clients_) {
            for (const std::string& packet : client->Connection.TakeSent()) {
                const std::string text(Protocol::CommandText(packet.data(), static_cast<int>(packet.size())));
                client->Received.push_back(text);
                if (TTableModel::IsTableCommand(text))
                    client->Model.Apply(text);
                if (text.starts_with(Protocol::Level2::StateBegin) && text.size() >= 13 + Protocol::Level2::TokenLength)
                    client->Token = text.substr(13, Protocol::Level2::TokenLength);
            }
        }
    }

    std::vector<std::unique_ptr<TRigClient>>& Clients() { return clients_; }
    std::vector<AnsiString> Log;

private:
    void Deliver(TRigClient& client, const std::string& packet)
    {
        server_.PacketArrived(&client.Connection, packet.data(), static_cast<int>(packet.size()));
        Pump();
    }

    std::mt19937 engine_;
    std::chrono::steady_clock::time_point now_{std::chrono::hours(1000)};
    TGameServer server_;
    std::vector<std::unique_ptr<TRigClient>> clients_;
};

}  // namespace server_test
