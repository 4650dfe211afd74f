// The server's command handling behind real packet connections, with four
// client slots that connect (level-1 joins, level-2 joins, resumes with the
// token the slot last received or with a forged one), drop, act as the real
// client does given what its own table model shows, and send arbitrary raw
// payloads, while a fake clock runs the grace periods out.
//
// After every step:
// - the 54 cards lie on the eight piles once each (no pile over 54, the
//   "no card" value 999 never stored), and every reply is a whole packet;
// - a client never makes the server send "/kill" (only the operator can);
// - a level-1 connection never receives "/state", "/away", "/back" or
//   "/judge", nor a token, nor (while no raw payload was sent) bytes after
//   the first NUL; a token never reaches any connection but its owner's;
// - every connected slot whose picture is complete (it saw its sync block, a
//   new game, or connected before any game) shows the table that a fresh
//   model rebuilt from the server's sync block shows. A raw payload that the
//   server passed on or took into its table may legitimately confuse
//   level-1 pictures, so the comparison stops after one; a field of more
//   than twelve cards confuses every client's picture, so the comparison
//   waits for the next new game.
//
// Input: records of an operation byte (bits 0-2 the operation, bits 3-4 the
// slot, bit 5 for a raw payload's NUL) and the operation's own bytes.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <numeric>
#include <random>
#include <set>

#include "client/table_model.h"
#include "fuzz_support.h"
#include "protocol/command_text.h"
#include "protocol/command_words.h"
#include "protocol/level2.h"
#include "protocol/padded_name.h"
#include "server/game_server.h"

using namespace Protocol;

namespace {

void CheckPiles(const TGameTable& game)
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

std::string Describe(const TTableState& table)
{
    std::string out = "shown " + std::to_string(table.Shown) + ", pile " +
                      (table.Pile ? std::to_string(*table.Pile) : std::string("?")) + ", field";
    for (const TFieldCard& card : table.Field)
        out += " " + card.Number + "/" + card.Drawer;
    out += ", seats";
    for (std::size_t s = 0; s < table.Occupants.size(); ++s)
        out += " [" + table.Occupants[s].value_or("?") + " " + std::to_string(table.Hands[s]) + "]";
    return out + ", target [" + table.Target.value_or("-") + "] by [" + table.Setter + "]";
}

const std::array<std::string_view, 4> Names = {"AB", "ab", "CD", "EF"};
const std::array<std::string_view, 6> Targets = {"10", " 24 ", "-3", "abc", "", "7"};
const std::array<std::string_view, 6> Expressions = {"1+2", "13*4-1", "(5)", "x", "10/0", "1 + 2 * 3"};
constexpr int SlotCount = 4;
constexpr int FieldSlots = TTableModel::SlotCount;

// Who received which session token.
struct TokenLedger {
    std::vector<std::pair<std::string, int>> issued;

    // True when payload carries a token that was not issued to slot (any
    // token, for slot -1).
    bool Leaks(std::string_view payload, int slot) const
    {
        return std::any_of(issued.begin(), issued.end(), [&](const auto& entry) {
            return entry.second != slot && payload.find(entry.first) != std::string_view::npos;
        });
    }
};

// One client: its connection while it has one, and the picture of the table
// it builds from what it receives, as the client window does.
struct Slot {
    int index = 0;
    bool connected = false;
    fuzz::Pair pair{};
    std::string pending;
    TTableModel model;
    bool level2 = false;    // this connection announced level 2
    bool complete = false;  // the picture holds the whole table
    AnsiString name;        // the padded name it last joined with; empty before
    std::string token;      // the last token it received, kept across connections
    bool syncing = false;   // between "/state begin" and "/state end"

    // Returns whether anything arrived.
    bool Receive(TokenLedger& tokens, bool rawSent)
    {
        const std::string arrived = fuzz::Drain(pair.peer);
        pending += arrived;
        while (pending.size() >= 4) {
            std::uint32_t n = 0;
            for (int i = 0; i < 4; ++i)
                n |= std::uint32_t(static_cast<unsigned char>(pending[std::size_t(i)])) << (8 * i);
            if (n > (1u << 20))
                fuzz::Fail("a reply of " + std::to_string(n) + " bytes");
            if (pending.size() - 4 < n)
                break;
            Take(std::string_view(pending).substr(4, n), tokens, rawSent);
            pending.erase(0, 4 + n);
        }
        return !arrived.empty();
    }

    void Take(std::string_view payload, TokenLedger& tokens, bool rawSent)
    {
        const AnsiString text = CommandText(payload.data(), static_cast<int>(payload.size()));
        if (IsCommand(text, Command::Kill))
            fuzz::Fail("a client made the server send /kill");
        if (tokens.Leaks(payload, level2 ? index : -1))
            fuzz::Fail("slot " + std::to_string(index) + " received a token not its own: " + text);
        if (!level2) {
            for (std::string_view word : {Command::State, Command::Away, Command::Back, Command::Judge})
                if (IsCommand(text, word))
                    fuzz::Fail("a level-1 connection received " + text);
            if (!rawSent && payload.size() > text.size() + 1)
                fuzz::Fail("a level-1 connection received bytes after the NUL of " + text);
        }
        if (IsCommand(text, Level2::StateBegin)) {
            token = text.substr(Level2::StateBegin.size() + 1, Level2::TokenLength);
            if (!Level2::IsToken(token))
                fuzz::Fail("a sync block without a token: " + text);
            tokens.issued.emplace_back(token, index);
            syncing = true;
        } else if (IsCommand(text, Level2::StateEnd)) {
            complete = true;
            syncing = false;
        } else if (TTableModel::IsTableCommand(text)) {
            if (IsCommand(text, Command::Init))
                complete = true;
            try {
                model.Apply(text);
            } catch (const std::exception&) {
                // Only a raw payload carries a seat that is not a digit.
            }
        }
    }
};

struct Run {
    TPacketServerSocket socket;
    std::mt19937 engine{1};
    TGameServer game;
    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    std::array<Slot, SlotCount> clients;
    TokenLedger tokens;
    std::set<const TCustomWinSocket*> disconnected;
    bool rawSent = false;
    bool comparing = true;

    static TGameRules Rules()
    {
        TGameRules rules;
        // Verdicts do not change the table; a short limit keeps runs fast.
        rules.SolverLimitMs = 2;
        return rules;
    }

    Run() : game(socket, nullptr, Rules())
    {
        socket.OnPacketArrived = [this](TObject*, TCustomWinSocket*, const void*, int) {
            // The game has handled the packet by now.
            CheckPiles(game.Main());
        };
        // As the operator window does: the server learns of every close.
        socket.OnClientDisconnect = [this](TObject*, TCustomWinSocket* connection) {
            disconnected.insert(connection);
        };
        // Every input shuffles alike, so that a failure replays.
        game.SetRandomEngine(engine);
        game.Main().Yamafuda.Reset();
        game.Now = [this] { return now; };
        for (int i = 0; i < SlotCount; ++i)
            clients[std::size_t(i)].index = i;
    }

    ~Run()
    {
        for (Slot& slot : clients)
            Drop(slot);
        socket.OnClientDisconnect = nullptr;
        socket.OnPacketArrived = nullptr;
    }

    void Send(Slot& slot, std::string_view payload)
    {
        if (!fuzz::WriteAll(slot.pair.peer, Framed(payload)))
            fuzz::Fail("a client's connection closed");
        fuzz::Settle(socket, slot.pair.connection);
    }

    void SendText(Slot& slot, const AnsiString& text) { Send(slot, TextPacket(text)); }

    void Connect(Slot& slot)
    {
        slot.pair = fuzz::Connect(socket);
        slot.connected = true;
        slot.pending.clear();
        slot.model = TTableModel();
        slot.level2 = false;
        slot.complete = !game.Main().Table.GameStarted;
        slot.name.clear();
    }

    void Drop(Slot& slot)
    {
        if (!slot.connected)
            return;
        ::close(slot.pair.peer);
        fuzz::AwaitClose(socket, slot.pair.connection);
        if (!disconnected.count(slot.pair.connection))
            fuzz::Fail("the server was not told of a closed connection");
        disconnected.clear();
        slot.connected = false;
        fuzz::RunPosted();
    }

    void Join(Slot& slot, std::uint8_t choice)
    {
        if (!slot.connected)
            Connect(slot);
        const AnsiString name = PaddedName(Names[(choice >> 2) % Names.size()]);
        std::string packet = TextPacket(AnsiString(Command::Join) + " " + name);
        switch (choice & 3) {
        case 1:
            packet += Level2::Announcement;
            break;
        case 2:
            packet += std::string(Level2::ResumePrefix) + slot.token;
            break;
        case 3:
            packet += std::string(Level2::ResumePrefix) + std::string(Level2::TokenLength, 'f');
            break;
        }
        slot.level2 = slot.level2 || (choice & 3) != 0;
        slot.name = name;
        Send(slot, packet);
    }

    void Expire(std::uint8_t seconds)
    {
        now += std::chrono::seconds(seconds);
        game.ExpireAwayEntries();
    }

    // What the client's buttons send, each only when its own model allows it.
    void Act(Slot& slot, std::uint8_t choice)
    {
        if (!slot.connected || slot.name.empty())
            return;
        const TTableState& table = slot.model.Table();
        const int seat = (choice >> 4) % TTableModel::SeatCount;
        const std::string digit = std::to_string(seat);
        const AnsiString& me = slot.name;
        // Kinds 12 to 15 draw too: drawing is the commonest button.
        switch (std::min(choice & 15, 12) % 12) {
        case 0:
            if (slot.model.FieldCount() < FieldSlots && table.Pile.value_or(54) > 0)
                SendText(slot, AnsiString(Command::Draw) + " " + me);
            break;
        case 1:
            if (slot.model.FieldCount() > 0)
                SendText(slot, AnsiString(Command::B2T) + " " + digit + " " + me);
            break;
        case 2:
            if (slot.model.FieldCount() > 0)
                SendText(slot, AnsiString(Command::B2Y));
            break;
        case 3:
            if (table.Hands[std::size_t(seat)] > 0)
                SendText(slot, AnsiString(Command::T2Y) + " " + digit + " " + me);
            break;
        case 4: {
            const std::optional<AnsiString>& occupant = table.Occupants[std::size_t(seat)];
            if (occupant && occupant->empty())
                SendText(slot, AnsiString(Command::Take) + " " + digit + " " + me);
            else if (occupant == me)
                SendText(slot, AnsiString(Command::Leave) + " " + digit);
            break;
        }
        case 5:
            SendText(slot, AnsiString(Command::Set) + " " + me + " " + std::string(Targets[std::size_t(seat)]));
            break;
        case 6:
            SendText(slot, AnsiString(Command::Init));
            break;
        case 7:
            SendText(slot, AnsiString(Command::Hit) + " " + me);
            break;
        case 8:
            SendText(slot, me + ": hello " + digit);
            break;
        case 9:
            SendText(slot, AnsiString(Command::Answer) + " " + me + " " + std::string(Expressions[std::size_t(seat)]));
            break;
        case 10:
            SendText(slot, AnsiString(Command::Hele));
            break;
        case 11:
            // The Disconnect button: "/left", the seats it holds given up, the connection closed.
            SendText(slot, AnsiString(Command::Left) + " " + me);
            for (int s = 0; s < TTableModel::SeatCount; ++s)
                if (table.Occupants[std::size_t(s)] == me)
                    SendText(slot, AnsiString(Command::FLeave) + " " + std::to_string(s));
            Drop(slot);
            break;
        }
    }

    // Runs the event loop until the replies have stopped coming: a send is
    // flushed at the end of a round, and a long one may take several.
    // Returns whether anybody received anything.
    bool Deliver()
    {
        constexpr int QuietRounds = 3;
        bool received = false;
        for (int round = 0, quiet = 0; quiet < QuietRounds; ++round) {
            if (round > 1000)
                fuzz::Fail("the replies never stop");
            fuzz::RunPosted();
            ++quiet;
            for (Slot& slot : clients) {
                if (slot.connected && slot.Receive(tokens, rawSent)) {
                    received = true;
                    quiet = 0;
                }
            }
        }
        if (game.Main().Bafuda.Count > FieldSlots)
            fuzz::Fail("the field holds more cards than any table shows");
        return received;
    }

    void CompareTables()
    {
        TTableModel rebuilt;
        for (const AnsiString& command : game.Main().TableRebuild())
            rebuilt.Apply(command);
        for (const Slot& slot : clients) {
            if (!slot.connected || !slot.complete)
                continue;
            const TTableState& shown = slot.model.Table();
            // Before the first game the table is hidden everywhere; what it
            // shows once the game starts comes from "/init" on.
            const bool same = game.Main().Table.GameStarted ? shown == rebuilt.Table() : !shown.Shown;
            if (!same)
                fuzz::Fail("slot " + std::to_string(slot.index) + " shows " + Describe(shown) +
                           "\n  the sync block rebuilds " + Describe(rebuilt.Table()));
        }
    }

    void Step(fuzz::InputReader& input)
    {
        const std::uint8_t op = input.Byte();
        Slot& slot = clients[std::size_t((op >> 3) % SlotCount)];
        const std::vector<AnsiString> tableBefore = game.Main().TableRebuild();
        bool raw = false;
        switch (op & 7) {
        case 0:
            Join(slot, input.Byte());
            break;
        case 1:
            Drop(slot);
            break;
        case 2:
            Expire(input.Byte());
            break;
        case 3: {
            std::string payload(input.Bytes(input.Byte()));
            if (op & 32)
                payload += '\0';
            if (!slot.connected)
                Connect(slot);
            // A raw "/join" may announce level 2 as well as the client's does.
            const AnsiString text = CommandText(payload.data(), static_cast<int>(payload.size()));
            if (IsCommand(text, Command::Join) &&
                Level2::Announces(Level2::Trailer(payload.data(), static_cast<int>(payload.size()))))
                slot.level2 = true;
            rawSent = raw = true;
            Send(slot, payload);
            break;
        }
        default:
            Act(slot, input.Byte());
            break;
        }
        // A raw payload the server passed on, or took into its table, may
        // have left a client's picture behind (a "/fleav" reaches all but
        // its sender).
        const bool received = Deliver();
        if (raw && (received || game.Main().TableRebuild() != tableBefore))
            comparing = false;
        if (comparing)
            CompareTables();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::InputReader input(data, size);
    Run run;
    while (!input.AtEnd())
        run.Step(input);
    return 0;
}
