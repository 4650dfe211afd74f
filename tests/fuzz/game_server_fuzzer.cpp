// The game server's tables behind in-memory connections. Six client slots
// connect, join the main table, the public table "A" or the private table "B"
// (with its key, a wrong one or none) as players (level 1 or 2, fresh,
// resuming with the token the slot last received or with a forged one) or as
// watchers, leave and join another table, drop, act as the real client does
// given what its own table model shows, ask for the listing, and send
// arbitrary raw payloads, while a fake clock runs the grace periods out.
//
// After every packet, close and expiry:
// - at every table the 54 cards lie on the eight piles once each (no pile
//   over 54, the "no card" value 999 never stored), at most twelve on the field;
// - nothing reaches a connection at another table: only the sender and the
//   connections at the table that handled the packet receive anything, a
//   chat line names its table and arrives only there, the last "/list" a
//   connection received is its own table's roster, and the server has every
//   connection at the table the slot expects; a private table is never listed;
// - a join to a private table without its key gets "/refused key" alone and
//   its connection is closed; nothing is sent once a close was asked for;
// - a watcher receives exactly what every level-2 player at its table
//   receives; what it sends but "/tables", and its close, reach nobody;
// - a client never makes the server send "/kill"; a level-1 connection never
//   receives a level-2 word, nor a token, nor (while no raw payload was sent)
//   bytes after the first NUL; a token never reaches any connection but its
//   owner's, and a watcher's is all zeros;
// - every connected slot whose picture is complete (it saw its sync block, a
//   new game, or connected before any game) shows the table that a fresh
//   model rebuilt from its table's sync block shows. A raw payload that
//   reached anybody or changed its table may legitimately confuse level-1
//   pictures, so the comparison stops at that table.
//
// Input: records of an operation byte (bits 0-2 the operation, bits 3-5 the
// slot, bit 6 for a raw payload's NUL) and the operation's own bytes.
#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>

#include "client/table_model.h"
#include "fuzz_support.h"
#include "support/memory_connection.h"
#include "protocol/command_text.h"
#include "protocol/command_words.h"
#include "protocol/level2.h"
#include "protocol/padded_name.h"
#include "protocol/tables.h"
#include "server/game_server.h"

using namespace Protocol;

namespace {

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
// The tables the slots choose from: the main one, "A" and "B" (made with Key).
const std::array<std::string_view, 3> TableNames = {"", "A", "B"};
constexpr std::string_view Key = "s3cret";
// What every chat line a slot says carries, followed by its table's name and "#".
constexpr std::string_view ChatTag = ": hello @";
constexpr int SlotCount = 6;
// Short inputs: in a minute of fuzzing, inputs of at most 24 steps reach as
// much of the server as longer ones, at several times the inputs a second (the
// fuzzer's bookkeeping grows with every input's length). Repeated draws keep a
// full field and an empty deck within reach.
constexpr int MaxSteps = 24;
constexpr int FieldSlots = TTableModel::SlotCount;
const std::string WatcherToken(Level2::TokenLength, '0');

// Where a connection is: its table's name key ("" for the main table), or
// nothing for no table.
using Place = std::optional<AnsiString>;

// One client: its connection while it has one, where it expects to be, and
// the picture of the table it builds from what it receives, as the client
// window does.
struct Slot {
    int index = 0;
    std::unique_ptr<TMemoryConnection> connection;
    Place table;
    TTableModel model;
    bool level2 = false;    // this connection announced level 2
    bool watcher = false;   // it joined to watch
    bool joined = false;    // a first join of it was taken
    int names = 0;          // the names it joined with
    bool complete = false;  // the picture holds the whole table
    AnsiString name;        // the padded name it last joined with; empty before
    std::string token;      // the last token it received, kept across connections
    // What arrived in the last exchange, and the last "/list" among it.
    std::vector<std::string> received;
    std::optional<AnsiString> lastList;

    bool Open() const { return connection && !connection->Closing(); }
    // The command text of the first packet received; the messages show it.
    AnsiString FirstText() const { return CommandText(received[0].data(), static_cast<int>(received[0].size())); }
    void NewPicture(bool whole)
    {
        model = TTableModel();
        complete = whole;
    }
};

struct Run {
    std::mt19937 engine{1};
    TGameServer game{nullptr, Rules()};
    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    std::array<Slot, SlotCount> clients;
    fuzz::TokenLedger tokens;
    // Tables whose pictures a raw payload may have confused.
    std::set<AnsiString> confused;
    bool rawSent = false;
    // The raw payload being sent, while one is.
    std::optional<std::string> raw;

    static TGameRules Rules()
    {
        TGameRules rules;
        // Verdicts do not change the table; a short limit keeps runs fast,
        // and so does a short grace: every join sends the whole roster.
        rules.SolverLimitMs = 1;
        rules.GraceSeconds = 30;
        return rules;
    }

    Run()
    {
        // Every input shuffles alike, so that a failure replays.
        game.SetRandomEngine(engine);
        game.Main().Yamafuda.Reset();
        game.Now = [this] { return now; };
        game.OnTableRemoved = [this](TGameTable& table) {
            const AnsiString key = Tables::TableNameKey(table.Name());
            confused.erase(key);
            for (Slot& slot : clients)
                if (slot.table == key)
                    slot.table.reset();
        };
        for (int i = 0; i < SlotCount; ++i)
            clients[std::size_t(i)].index = i;
    }

    ~Run()
    {
        game.OnTableRemoved = nullptr;
        for (Slot& slot : clients)
            if (slot.connection)
                game.ConnectionClosed(slot.connection.get());
    }

    Place PlaceOf(const Slot& slot) const
    {
        const TGameTable* table = game.TableOf(slot.connection.get());
        return table ? Place(Tables::TableNameKey(table->Name())) : Place();
    }

    static std::string Where(const Place& place) { return place ? "[" + *place + "]" : "no table"; }

    // Checks one payload a slot received and applies it to its picture.
    void Take(Slot& slot, std::string_view payload)
    {
        const AnsiString text = CommandText(payload.data(), static_cast<int>(payload.size()));
        const std::string who = "slot " + std::to_string(slot.index) + " ";
        if (payload.size() > (1u << 20))
            fuzz::Fail(who + "received a reply of " + std::to_string(payload.size()) + " bytes");
        if (IsCommand(text, Command::Kill))
            fuzz::Fail("a client made the server send /kill");
        if (tokens.Leaks(payload, slot.level2 ? slot.index : -1))
            fuzz::Fail(who + "received a token not its own: " + text);
        if (!slot.level2) {
            for (std::string_view word : Command::Level2)
                if (IsCommand(text, word))
                    fuzz::Fail(who + "(level 1) received " + text);
            if (!rawSent && payload.size() > text.size() + 1)
                fuzz::Fail(who + "(level 1) received bytes after the NUL of " + text);
        }
        if (const std::size_t tag = text.find(ChatTag); tag != AnsiString::npos && !raw) {
            const std::size_t start = tag + ChatTag.size();
            const AnsiString table = Tables::TableNameKey(text.substr(start, text.find('#', start) - start));
            if (slot.table != table)
                fuzz::Fail(who + "at " + Where(slot.table) + " received a chat line of table [" + table + "]");
        }
        if (IsCommand(text, Level2::StateBegin)) {
            slot.token = text.substr(Level2::StateBegin.size() + 1, Level2::TokenLength);
            if (!Level2::IsToken(slot.token))
                fuzz::Fail("a sync block without a token: " + text);
            if (slot.watcher != (slot.token == WatcherToken))
                fuzz::Fail(who + (slot.watcher ? "(watcher)" : "(player)") + " received the sync block " + text);
            if (!slot.watcher)
                tokens.Issue(slot.token, slot.index);
        } else if (IsCommand(text, Level2::StateEnd)) {
            slot.complete = true;
        } else if (IsCommand(text, Command::List)) {
            slot.lastList = text;
        } else if (const auto row = Tables::ReadTableRow(text)) {
            const TGameTable* listed = game.FindTable(row->Name);
            if (listed && listed->Key)
                fuzz::Fail("the private table [" + row->Name + "] is listed");
        } else if (TTableModel::IsTableCommand(text)) {
            if (IsCommand(text, Command::Init))
                slot.complete = true;
            try {
                slot.model.Apply(text);
            } catch (const std::exception&) {
                // Only a raw payload carries a seat that is not a digit.
            }
        }
    }

    // A raw payload's outcome is the server's to decide: the slot follows it.
    void Adopt(Slot& slot, std::string_view payload)
    {
        const AnsiString text = CommandText(payload.data(), static_cast<int>(payload.size()));
        const Place place = PlaceOf(slot);
        if (IsCommand(text, Command::Join) && !slot.watcher) {
            const auto announcement =
                Tables::ReadAnnouncement(Level2::Trailer(payload.data(), static_cast<int>(payload.size())));
            if (!slot.joined) {
                slot.level2 = announcement.has_value();
                if (slot.Open() && place != slot.table)
                    slot.NewPicture(false);
                slot.joined = slot.Open();
                slot.names = slot.joined ? 1 : 0;
                slot.watcher = slot.joined && announcement && announcement->Watch;
            } else if (slot.table && slot.names < TGameTable::MaxNamesPerConnection) {
                ++slot.names;
                slot.level2 = slot.level2 || announcement.has_value();
            }
        }
        slot.table = place;
    }

    // Makes one call into the server and checks what arrived. sender: whose
    // packet or close it is (null: the clock's), and whether it was watching;
    // at: the table that handles it, where alone anybody but the sender may
    // receive anything (nothing: any table); sent: the packet's text.
    void Exchange(Slot* sender, bool fromWatcher, std::optional<Place> at, std::string_view sent,
                  const std::function<void()>& call)
    {
        std::array<Place, SlotCount> before;
        for (const Slot& slot : clients)
            before[std::size_t(slot.index)] = slot.table;
        // The sender's table, and what it was, where a raw payload or a watcher might change it.
        TGameTable* senderTable = sender && sender->table && (raw || fromWatcher) ? game.FindTable(*sender->table) : nullptr;
        const Place senderPlace = senderTable ? sender->table : Place();
        const auto rebuildBefore = senderTable ? senderTable->TableRebuild() : std::vector<AnsiString>();
        const AnsiString rosterBefore = senderTable ? senderTable->Roster.Text() : AnsiString();
        call();
        // Still there (it may have gone with the sender's leave or close).
        if (senderTable && game.FindTable(*senderPlace) != senderTable)
            senderTable = nullptr;
        if (raw && sender) {
            Adopt(*sender, *raw);
            at = fromWatcher ? Place() : sender->table ? sender->table : before[std::size_t(sender->index)];
        }
        for (TGameTable* table : game.Tables())
            fuzz::CheckPiles(*table, FieldSlots);
        bool anybody = false;
        for (Slot& slot : clients) {
            slot.received.clear();
            slot.lastList.reset();
            if (!slot.connection)
                continue;
            slot.received = slot.connection->TakeSent();
            anybody = anybody || !slot.received.empty();
            for (const std::string& payload : slot.received)
                Take(slot, payload);
            if (slot.connection->SentAfterClosing() > 0)
                fuzz::Fail("slot " + std::to_string(slot.index) + " was sent a packet after its close");
            if (PlaceOf(slot) != slot.table)
                fuzz::Fail("the server has slot " + std::to_string(slot.index) + " at " + Where(PlaceOf(slot)) +
                           ", the slot expects " + Where(slot.table));
        }
        if (raw && sender && (anybody || (senderTable && senderTable->TableRebuild() != rebuildBefore))) {
            for (const Place& place : {before[std::size_t(sender->index)], sender->table})
                if (place)
                    confused.insert(*place);
        }
        CheckReceivers(sender, at, before);
        if (fromWatcher) {
            if (!IsCommand(sent, Command::Tables) && !sender->received.empty())
                fuzz::Fail("a watcher's " + AnsiString(sent) + " was answered with " + sender->FirstText());
            if (senderTable && (senderTable->TableRebuild() != rebuildBefore || senderTable->Roster.Text() != rosterBefore))
                fuzz::Fail("a watcher's " + AnsiString(sent) + " changed its table");
        }
        CheckWatchers(sender, before);
        CompareTables();
    }

    void CheckReceivers(const Slot* sender, const std::optional<Place>& at, const std::array<Place, SlotCount>& before)
    {
        std::map<AnsiString, AnsiString> lists;  // each table's "/list", made once
        for (const Slot& slot : clients) {
            const TGameTable* table = slot.lastList && slot.table ? game.FindTable(*slot.table) : nullptr;
            if (table) {
                auto [list, made] = lists.try_emplace(*slot.table);
                if (made)
                    list->second = "/list " + table->Roster.Text();
                if (*slot.lastList != list->second)
                    fuzz::Fail("slot " + std::to_string(slot.index) + " at " + Where(slot.table) + " was last sent " +
                               *slot.lastList + ", its table's " + list->second);
            }
            if (&slot == sender || slot.received.empty() || !at || before[std::size_t(slot.index)] == *at)
                continue;
            fuzz::Fail("slot " + std::to_string(slot.index) + " at " + Where(before[std::size_t(slot.index)]) +
                       " received " + slot.FirstText() + ", caused at " + Where(*at));
        }
    }

    // Every watcher receives what every level-2 player at its table does.
    void CheckWatchers(const Slot* sender, const std::array<Place, SlotCount>& before)
    {
        auto stayed = [&](const Slot& slot) {
            return &slot != sender && slot.Open() && slot.table && before[std::size_t(slot.index)] == slot.table;
        };
        for (const Slot& watcher : clients) {
            if (!watcher.watcher || !stayed(watcher))
                continue;
            for (const Slot& player : clients) {
                if (player.watcher || !player.level2 || !stayed(player) || player.table != watcher.table)
                    continue;
                if (player.received != watcher.received)
                    fuzz::Fail("watcher " + std::to_string(watcher.index) + " and player " + std::to_string(player.index) +
                           " at " + Where(watcher.table) + " received different packets");
            }
        }
    }

    // A table's sync block and the picture a fresh model builds from it; the
    // model is built again only when the block changed.
    struct Rebuilt {
        std::vector<AnsiString> commands;
        TTableModel model;
    };
    std::map<AnsiString, Rebuilt> rebuilt;

    const TTableModel& RebuiltModel(const AnsiString& key, const TGameTable& table)
    {
        Rebuilt& cached = rebuilt[key];
        std::vector<AnsiString> commands = table.TableRebuild();
        if (commands != cached.commands) {
            cached.model = TTableModel();
            for (const AnsiString& command : commands)
                cached.model.Apply(command);
            cached.commands = std::move(commands);
        }
        return cached.model;
    }

    void CompareTables()
    {
        std::map<AnsiString, const TTableModel*> models;  // each table's, brought up to date once
        for (const Slot& slot : clients) {
            if (!slot.Open() || !slot.complete || !slot.table || confused.count(*slot.table))
                continue;
            const TGameTable* table = game.FindTable(*slot.table);
            if (!table)
                fuzz::Fail("slot " + std::to_string(slot.index) + " is at a table that is gone");
            auto [found, first] = models.try_emplace(*slot.table);
            if (first)
                found->second = &RebuiltModel(*slot.table, *table);
            const TTableModel& model = *found->second;
            const TTableState& shown = slot.model.Table();
            // Before the first game the table is hidden everywhere; what it
            // shows once the game starts comes from "/init" on.
            const bool same = table->Table.GameStarted ? shown == model.Table() : !shown.Shown;
            if (!same)
                fuzz::Fail("slot " + std::to_string(slot.index) + " at " + Where(slot.table) + " shows " +
                           Describe(shown) + "\n  the sync block rebuilds " + Describe(model.Table()));
        }
    }

    void Send(Slot& slot, std::string_view payload)
    {
        if (!slot.Open())
            return;
        const AnsiString text = CommandText(payload.data(), static_cast<int>(payload.size()));
        Exchange(&slot, slot.watcher, slot.watcher ? Place() : slot.table, text, [&] {
            game.PacketArrived(slot.connection.get(), payload.data(), static_cast<int>(payload.size()));
        });
    }

    void SendText(Slot& slot, const AnsiString& text) { Send(slot, TextPacket(text)); }

    void Connect(Slot& slot)
    {
        slot.connection = std::make_unique<TMemoryConnection>();
        slot.table = AnsiString();
        slot.NewPicture(!game.Main().Table.GameStarted);
        slot.level2 = slot.watcher = slot.joined = false;
        slot.names = 0;
        slot.name.clear();
        Exchange(&slot, false, slot.table, "", [&] { game.ConnectionOpened(slot.connection.get()); });
    }

    // The peer's end closed, or the server's close asked for is done.
    void Close(Slot& slot)
    {
        if (!slot.connection)
            return;
        Exchange(&slot, slot.watcher, slot.watcher ? Place() : slot.table, "", [&] {
            game.ConnectionClosed(slot.connection.get());
            slot.table.reset();
        });
        slot.connection.reset();
    }

    // What the Disconnect button sends: "/left", the seats it holds given
    // up; then the connection closes.
    void Leave(Slot& slot)
    {
        const TTableState table = slot.model.Table();
        // The client's own picture does not follow its leave.
        slot.complete = false;
        SendText(slot, AnsiString(Command::Left) + " " + slot.name);
        for (int s = 0; s < TTableModel::SeatCount; ++s)
            if (table.Occupants[std::size_t(s)] == slot.name)
                SendText(slot, AnsiString(Command::FLeave) + " " + std::to_string(s));
        Close(slot);
    }

    // Reads a byte of choices, bits 0-2 how (level 1; level 2 fresh, resuming
    // with its own token or a forged one; watching), bits 3-4 the table, bits
    // 5-6 the key (none, the right one, a wrong one); then one for the name.
    void Join(Slot& slot, fuzz::InputReader& input)
    {
        const std::uint8_t choice = input.Byte();
        const std::uint8_t detail = input.Byte();
        static constexpr std::array<int, 8> Modes = {0, 1, 2, 3, 4, 1, 2, 4};
        const int mode = Modes[choice & 7];
        const bool level2 = mode != 0;
        const bool watch = mode == 4;
        const std::string_view tableName = level2 ? TableNames[((choice >> 3) & 3) % 3] : "";
        const AnsiString key = Tables::TableNameKey(tableName);
        // Another table is another connection.
        if (slot.Open() && slot.joined && slot.table != key)
            Leave(slot);
        if (!slot.connection)
            Connect(slot);
        if (!slot.Open())
            return;
        const TGameTable* existing = game.FindTable(tableName);
        Tables::TAnnouncement announcement;
        announcement.Watch = watch;
        announcement.Token = mode == 2 ? slot.token : mode == 3 ? std::string(Level2::TokenLength, 'f') : "";
        if (!tableName.empty()) {
            announcement.Table = AnsiString(tableName);
            // The first join to "B" makes it private.
            const int keyChoice = (choice >> 5) & 3;
            if (keyChoice == 1 || (tableName == "B" && !existing))
                announcement.Key = std::string(Key);
            else if (keyChoice == 2)
                announcement.Key = "wrong";
        }
        const AnsiString name = PaddedName(Names[detail % Names.size()]);
        const AnsiString text = AnsiString(Command::Join) + " " + name;
        const std::string packet = TextPacket(text) + (level2 ? Tables::AnnouncementText(announcement) : "");
        const bool refused = !slot.joined && existing && existing->Key && announcement.Key != existing->Key;
        const bool watching = slot.watcher;
        Place at = slot.table;
        if (watching) {
            at.reset();
        } else if (refused) {
            slot.table.reset();
            slot.level2 = level2;
            at.reset();
        } else if (!slot.joined) {
            // The client opened this connection for that table: its picture starts there.
            if (slot.table != key)
                slot.NewPicture(false);
            // A watcher's join is not relayed.
            slot.table = key;
            at = watch ? Place() : key;
            slot.joined = true;
            slot.names = 1;
            slot.watcher = watch;
            slot.level2 = level2;
            slot.name = name;
        } else if (slot.names < TGameTable::MaxNamesPerConnection) {
            ++slot.names;
            slot.level2 = slot.level2 || level2;
            slot.name = name;
        }
        Exchange(&slot, watching, at, text, [&] {
            game.PacketArrived(slot.connection.get(), packet.data(), static_cast<int>(packet.size()));
        });
        if (refused) {
            const auto refusal = slot.received.size() == 1
                                     ? Tables::ReadRefused(CommandText(slot.received[0].data(), int(slot.received[0].size())))
                                     : std::nullopt;
            if (!refusal || refusal->Reason != "key" || !slot.connection->Closing())
                fuzz::Fail("a join to [" + key + "] without its key was not refused for the key alone");
        } else if (slot.connection->Closing()) {
            fuzz::Fail("a join to [" + key + "] was refused");
        }
    }

    void Expire(std::uint8_t seconds)
    {
        now += std::chrono::seconds(seconds);
        Exchange(nullptr, false, std::nullopt, "", [&] { game.WakeTables(); });
    }

    // What the client's buttons send, each only when its own model allows it.
    void Act(Slot& slot, std::uint8_t choice)
    {
        if (!slot.Open() || slot.name.empty())
            return;
        const TTableState& table = slot.model.Table();
        const int seat = (choice >> 4) % TTableModel::SeatCount;
        const std::string digit = std::to_string(seat);
        const AnsiString& me = slot.name;
        // Kinds 14 and 15 draw too: drawing is the commonest button. A draw
        // is pressed up to 16 times, so that a short input still reaches a
        // full field and an empty deck.
        switch ((choice & 15) >= 14 ? 0 : choice & 15) {
        case 0:
            for (int press = 0; press <= choice >> 4 && slot.Open(); ++press)
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
            SendText(slot, me + AnsiString(ChatTag) + slot.table.value_or("?") + "#" + digit);
            break;
        case 9:
            SendText(slot, AnsiString(Command::Answer) + " " + me + " " + std::string(Expressions[std::size_t(seat)]));
            break;
        case 10:
            SendText(slot, AnsiString(Command::Hele));
            break;
        case 11:
            Leave(slot);
            break;
        case 12:
            SendText(slot, AnsiString(Command::Tables));
            break;
        case 13: {
            // A dealt game started with fields the seat picks (one of them
            // refused), with a computer player now and then, or stopped.
            static constexpr const char* Fields[] = {" PACE=1 ANSWER=5", " TARGET=random PACE=1", " BOTS=1 LEVEL=5 PACE=1",
                                                     " PACE=1 BOTS=2 LEVEL=1", " PACE=99", ""};
            if (seat < 5)
                SendText(slot, AnsiString(Command::Deal) + " " + me + " start" + Fields[seat]);
            else
                SendText(slot, AnsiString(Command::Deal) + " " + me + " stop");
            break;
        }
        }
    }

    void Step(fuzz::InputReader& input)
    {
        // A close the server asked for is reported before anything else.
        for (Slot& slot : clients)
            if (slot.connection && slot.connection->Closing())
                Close(slot);
        const std::uint8_t op = input.Byte();
        Slot& slot = clients[std::size_t((op >> 3) & 7) % SlotCount];
        switch (op & 7) {
        case 0:
            Join(slot, input);
            break;
        case 1:
            Close(slot);
            break;
        case 2:
            Expire(input.Byte());
            break;
        case 3: {
            std::string payload(input.Bytes(input.Byte()));
            if (op & 64)
                payload += '\0';
            if (!slot.connection)
                Connect(slot);
            rawSent = true;
            raw = payload;
            Send(slot, payload);
            raw.reset();
            break;
        }
        default:
            Act(slot, input.Byte());
            break;
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::InputReader input(data, size);
    Run run;
    for (int step = 0; step < MaxSteps && !input.AtEnd(); ++step)
        run.Step(input);
    return 0;
}
