#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bots/bot.h"
#include "dealer/dealer.h"
#include "platform/ansi_string.h"
#include "protocol/tables.h"
#include "table/card_pile.h"
#include "table/game_recorder.h"
#include "table/game_rules.h"
#include "table/hit_judge.h"
#include "table/peer.h"
#include "table/roster.h"
#include "table/table_record.h"

// One table of the game: the 54 cards spread over the deck (Yamafuda), the
// field (Bafuda) and the six seats' hands (Tefuda), the roster of joined
// players, the record of seats, drawers and target, the judgement of hits,
// and the connections at the table, players and watchers. It handles every
// packet its connections send and answers and relays to them only; it knows
// a connection as "packets out" and nothing of what carries them.
//
// Every command is relayed in the order it arrived, so that all clients build
// the same picture of the table. The table also follows that picture so that
// it can rebuild it for a client that announced level 2: one that joins during
// a game, or comes back after its connection dropped. A connection that drops
// without leaving keeps its roster entry and seats for the grace period.
class TGameTable {
public:
    // Every join sends the whole roster to everyone: joins are bounded.
    static constexpr int MaxNamesPerConnection = 4;
    static constexpr int MaxRosterEntries = 1000;

    // name: empty for the main table. Starts with a fresh shuffled deck.
    TGameTable(TTableServices& services, AnsiString name);

    const AnsiString& Name() const { return name_; }
    bool IsMain() const { return name_.empty(); }
    // A private table's key; none for a public table.
    std::optional<std::string> Key;

    // The connection is at this table from now on and receives what it
    // relays (a TCP connection from its accept at the main table).
    void Enter(TPeer& peer);
    // The connection has closed: the roster entries it joined stay, away, for
    // the grace period; a watcher simply goes.
    void Closed(TPeer& peer);
    // The connection no longer receives anything here (it is refused, or
    // moves to another table before it joined here).
    void Detach(TPeer& peer);
    // Every connection still here is at no table from now on (the table goes).
    void DetachAll();
    // The shuffle's random source for every pile (null: the default engine).
    void UseRandomEngine(std::mt19937* engine);

    // A "/join" from a connection at this table (trailer: what followed its
    // NUL, announcement: its level-2 fields, if any). A level-2 join with the
    // token of an away entry here resumes that entry.
    void Join(TPeer& sender, std::string_view text, const void* data, int size,
              const std::optional<Protocol::Tables::TAnnouncement>& announcement);
    // A "/join" with WATCH: the roster, the sync block and every relay, no entry.
    void Watch(TPeer& watcher, std::string_view text);
    // Any other packet from a player connection at this table.
    void PacketArrived(TPeer& sender, std::string_view text, const void* data, int size);
    // Counts a dropped packet by why (DropWhy) and logs it, at most once a
    // minute per connection.
    void Drop(TPeer& sender, std::string_view text, std::string_view why);

    // The operator's commands, on the roster entry at index (-1: none).
    // Kill asks every client here to let that player leave; the entry goes
    // when the player's "/left" arrives.
    void KillPlayer(int index);
    // Removes a stale entry and tells every client here the new roster.
    void ClearRosterEntry(int index);
    // Ends the grace period of every away entry whose time has come (the
    // others are told as if the player had left) and lets the dealer do
    // what is due.
    void Wake();
    // The earliest of the next grace end and the dealer's next wake
    // (time_point{}: none).
    std::chrono::steady_clock::time_point NextWake() const;
    // Adds an entry of a table brought back from a saved file: away, its
    // grace period starting now, resumable by the token of that hash (none:
    // an empty hash). Nobody is told; nobody is here yet.
    void AddAwayEntry(const AnsiString& name, const std::string& tokenHash);
    // Removes the entry at index as its player's leaving would: the others
    // get the roster without it, "/left" and the seats it freed. The log
    // line gives utf8Why in place of an address.
    void RemoveEntry(int index, std::string_view utf8Why);
    // Frees the seats of name, with the "/fleav" packets its leaving would
    // have sent, unless a connected entry of that name keeps them.
    void ReleaseSeats(const AnsiString& name);
    // A dealt game started by the operator, in host's name (empty: the
    // operator's); false with the refusal (UTF-8) when it cannot start.
    // botLevels: each computer player's level (empty: options.Bots at options.Level).
    bool StartGame(const AnsiString& host, const Dealer::TGameOptions& options, std::string& refusal,
                   const std::vector<int>& botLevels = {});
    // Ends the running game with its standings; false when none runs.
    bool StopGame();
    const Dealer::TDealer& Game() const { return dealer_; }
    const TGameRecorder& Recorder() const { return recorder_; }
    // Goes on with a game saved before a restart, once a seated player is back,
    // and with its record when one was being kept (a save without one, from
    // before records, leaves the game unrecorded).
    void RestoreGame(const Dealer::TSavedGame& saved, std::optional<TGameRecorder::TSaved> recording);
    // Sends a chat line (or any text) to every connection here.
    void Announce(std::string_view text) { SendTextToAll(text); }
    // The connections here, players and watchers, in the order they came.
    const std::vector<TPeer*>& Members() const { return members_; }

    // Neither a roster entry nor a watcher: a table other than the main one goes.
    bool Empty() const { return Roster.Count() == 0 && watchers_ == 0; }
    bool Full() const { return Roster.Count() >= MaxRosterEntries; }
    // This table's line of the listing.
    Protocol::Tables::TTableRow Row() const;
    // The commands that rebuild the current table at an empty client.
    std::vector<AnsiString> TableRebuild() const { return Table.Rebuild(Bafuda, Tefuda); }
    // Writes a log line, naming this table unless it is the main one.
    void Log(std::string_view utf8Word, std::string_view subject, std::string_view where);

    TCardPile Yamafuda;
    TCardPile Bafuda;
    TCardPile Tefuda[6];
    TRoster Roster;
    TTableRecord Table;
    // The verdict on each hit, sent to level-2 connections.
    THitJudge Judge;

private:
    // "/deal": a seated level-2 player starts or stops a dealt game.
    void DealArrived(TPeer& sender, std::string_view text);
    // Whether a player's packet may go on while a dealt game runs: the
    // dealer alone deals, sets the target and moves the cards.
    bool MayMoveDuringGame(const TPeer& sender, std::string_view text) const;
    // "/take", "/leave" and "/fleav": the seats, and a dealt game's forfeits.
    void Seat(std::string_view text, const void* data, int size, const TPeer* except);
    // A seat was freed during a dealt game: its hand is forfeit.
    void SeatFreed(int seat, const AnsiString& occupant);
    // The moves that change the piles, from a player or from the dealer.
    void Move(std::string_view text, const void* data, int size);
    // Sends what the dealer returned: its moves applied here and relayed.
    void Deliver(const Dealer::TOutputs& outputs);
    Dealer::TTableView View() const;
    // The game ended: its record goes to the store, the end to the metrics.
    void FinishRecord(bool stopped, std::chrono::steady_clock::time_point now);
    // The computer players' levels beside the dealer's players (0: a person).
    std::vector<int> BotLevels() const;
    // Tells the dealer whether any seated player is connected.
    void UpdatePresence();
    // The computer players of the running game (table_bots.cpp): joined to
    // the roster, told what changed at the table, given their solves within
    // the server's solving budget, and woken to hit and answer.
    void JoinBot(const Dealer::TBotPlayer& bot);
    void AddBotModel(const Dealer::TBotPlayer& bot);
    void LeaveBot(const AnsiString& name);
    void FollowBots();
    void WakeBots();
    std::chrono::steady_clock::time_point NextBotWake() const;
    // Logs a refused packet, at most once a minute per connection.
    void Refuse(TPeer& sender, std::string_view text);
    // An empty field and hands, a full shuffled deck.
    void DealFreshDeck();
    bool Resume(TPeer& sender, std::string_view name, std::string_view token);
    void Left(TPeer& sender, std::string_view text, const void* data, int size);
    // When an entry that goes away now stops waiting (time_point{}: never).
    std::chrono::steady_clock::time_point GraceEnd() const;
    // Tells the server when this table wants Wake next.
    void ScheduleWake();
    void Draw(std::string_view text);
    void Hit(std::string_view text);
    // False when the "/answer" was not judged (no hit to answer, or not an answer's layout).
    bool Answer(std::string_view text);
    // Judges a hitter's expression in front of everyone; fromChat: a chat
    // line, which is judged only when it reads as an expression. False when
    // nothing was judged: name has no hit to answer.
    bool JudgeAnswer(const AnsiString& name, std::string_view expression, bool fromChat);
    // The field or the target changed: the next hit is the first.
    void TableChanged();
    std::vector<int> FieldCards() const;
    std::optional<std::int64_t> Target() const;
    // The seat's hand named by the digit at byte 6, or null for anything but
    // "0" to "5" (the move is then dropped, and counted).
    TCardPile* SeatHand(std::string_view text);
    void SendSyncBlock(TPeer& peer, const std::string& token);

    // Every packet of the table goes out through the services, counted.
    void Send(TPeer& peer, std::string_view text) { services_.SendText(*peer.Connection, text); }
    void SendToAll(const void* data, int size, const TPeer* except = nullptr);
    void SendTextToAll(std::string_view text, const TPeer* except = nullptr);
    void SendToLevel2(std::string_view text, const TPeer* except);

    TTableServices& services_;
    AnsiString name_;
    // The connections here in the order they came, players and watchers.
    std::vector<TPeer*> members_;
    int watchers_ = 0;
    // Whether anybody hit since the field or the target last changed, and
    // who did and has not answered yet (one answer per hit).
    bool hitSinceChange_ = false;
    std::vector<AnsiString> mayAnswer_;
    // The dealer's own random source (targets), seeded from the piles' engine.
    std::mt19937 dealerRandom_;
    Dealer::TDealer dealer_;
    TGameRecorder recorder_;
    struct TTableBot {
        AnsiString Name;  // padded
        Bots::Bot Model;
        bool Seated = false;
        bool AnswerOpened = false;
    };
    std::vector<TTableBot> bots_;
    // The field and target the bots were last told of.
    std::vector<int> botField_;
    std::optional<std::int64_t> botTarget_;
};
