#pragma once

#include <QCoreApplication>
#include <QString>
#include <optional>
#include <string>

#include "platform/ansi_string.h"

// The table a connection asks for: a named one (the main table when there is
// no name), with a private table's key, as a player or as a watcher.
struct TTableChoice {
    std::optional<AnsiString> Table;
    std::optional<std::string> Key;
    bool Watch = false;
    bool operator==(const TTableChoice&) const = default;
};

// Where the window is, without any widget: the table the connection asked
// for, whether the server turned out to have tables, and what follows for the
// announcement, the window's title and the player's controls.
//
// A server with tables answers the join with "/list" and at once its sync
// block; a server that sends anything else after the first "/list", or
// nothing for a while, speaks level 1 and has put the player at its one
// table whatever was asked, as a player.
class TTablePlace {
    Q_DECLARE_TR_FUNCTIONS(TTablePlace)

public:
    enum class TLevel { Connecting, AwaitingSync, Level1, Level2 };

    // A new connection for the choice.
    void Connect(const TTableChoice& choice);
    // The connection ended.
    void Disconnect() { connected_ = false; }

    // The first "/list" of a connection.
    void ListArrived();
    // Any command other than "/list" and "/state begin"; true when it tells
    // that the server speaks level 1, which the player is told when a table,
    // a key or watching was asked for.
    bool OtherCommandArrived();
    // The server sent its sync block: it has tables.
    void SyncBegan() { level_ = TLevel::Level2; }
    TLevel Level() const { return level_; }
    // The level-1 server put the player elsewhere than asked.
    bool ChoiceIgnored() const;

    const TTableChoice& Choice() const { return choice_; }
    // The level-2 announcement of a join, or of a resume with the token; with
    // the key of the player's registered name when there is one.
    std::string Announcement(const std::string& resumeToken = {},
                             const std::optional<std::string>& nameKey = std::nullopt) const;
    // A watcher at a server with tables: it sends nothing but "/tables" and
    // never comes back by itself with a token.
    bool Watching() const { return connected_ && choice_.Watch && level_ != TLevel::Level1; }
    bool MayResume() const { return !choice_.Watch; }

    // The window's title: the program's, and the table's name while at a
    // server with tables ("（メイン）" for the main table), marked when
    // watching.
    QString Title(const QString& programTitle) const;

    // A table's name as the player reads it.
    static QString TableCaption(const AnsiString& name);

private:
    TTableChoice choice_;
    bool connected_ = false;
    TLevel level_ = TLevel::Connecting;
};
