#include "records/sqlite_record_store.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

#include "protocol/padded_name.h"
#include "protocol/player_name.h"
#include "records/name_key.h"
#include "records/sqlite_backup.h"
#include "records/sqlite_game_rows.h"
#include "records/sqlite_queries.h"
#include "records/sqlite_schema.h"

namespace Records {

namespace {

struct TNameEntry {
    AnsiString Name;
    std::string KeyHash;
    TTime Since;
    bool Unranked = false;
};

using TNames = std::map<AnsiString, TNameEntry>;  // by the name as compared

TNames LoadNames(TSqliteConnection& db)
{
    TNames names;
    TSqliteStatement read = db.Prepare("SELECT name_key, name, key_sha256, registered_ms, unranked FROM names");
    while (read.Step())
        names[read.Bytes(0)] = {read.Bytes(1), read.Bytes(2), TimeOfMilliseconds(read.Integer(3)),
                                read.Integer(4) != 0};
    return names;
}

void Configure(TSqliteConnection& db, std::chrono::milliseconds busyTimeout)
{
    db.Check(sqlite3_busy_timeout(db.Handle(), static_cast<int>(busyTimeout.count())));
    db.Execute("PRAGMA foreign_keys = ON");
}

class TSqliteRecordStore final : public TRecordStore {
public:
    TSqliteRecordStore(const QString& file, std::unique_ptr<TSqliteConnection> writer,
                       std::unique_ptr<TSqliteConnection> reader, TNames names, std::int64_t nextGameId,
                       const TSqliteWriter::TOptions& options, TLog log)
        : file_(QFileInfo(file).absoluteFilePath()),
          log_(std::move(log)),
          names_(std::move(names)),
          nextGameId_(nextGameId),
          reader_(std::move(reader)),
          writer_(std::move(writer), options, log_)
    {
    }

    std::optional<std::int64_t> AddGame(TGameRecord game) override
    {
        game.Id = nextGameId_++;
        const std::int64_t id = game.Id;
        const AnsiString what = "game " + std::to_string(id);
        const bool queued =
            QueueWrite(what, [game = std::move(game)](TSqliteConnection& db) { WriteGameRows(db, game); });
        if (queued)
            return id;
        ++dropped_;
        log_("records: the write queue is full; " + what + " is dropped");
        return std::nullopt;
    }

    TRegistration Register(std::string_view name) override
    {
        const AnsiString trimmed = Protocol::TrimmedName(name);
        if (trimmed.empty() || trimmed.size() > static_cast<std::size_t>(Protocol::PaddedNameLength))
            return {{}, TRegistration::ERefusal::BadName};
        const AnsiString key = Protocol::PlayerNameKey(trimmed);
        std::lock_guard lock(namesMutex_);
        if (names_.contains(key))
            return {{}, TRegistration::ERefusal::Taken};
        TRegistration registration{NewNameKey(), TRegistration::ERefusal::None};
        const TNameEntry entry{trimmed, NameKeyHash(registration.Key), std::chrono::system_clock::now(), false};
        const bool queued = QueueWrite("the name " + trimmed, [key, entry](TSqliteConnection& db) {
                                                 db.Prepare("INSERT INTO names (name_key, name, key_sha256,"
                                                            " registered_ms) VALUES (?, ?, ?, ?)")
                                                     .Bind(1, key)
                                                     .Bind(2, entry.Name)
                                                     .BindText(3, entry.KeyHash)
                                                     .Bind(4, MillisecondsOf(entry.Since))
                                                     .Run();
                                             });
        if (!queued)
            return {{}, TRegistration::ERefusal::Busy};
        names_[key] = entry;
        return registration;
    }

    ENameCheck CheckName(std::string_view name, std::string_view key) const override
    {
        std::lock_guard lock(namesMutex_);
        const auto found = names_.find(Protocol::PlayerNameKey(name));
        if (found == names_.end())
            return ENameCheck::Unregistered;
        return SameHash(NameKeyHash(key), found->second.KeyHash) ? ENameCheck::KeyAccepted : ENameCheck::KeyRefused;
    }

    std::vector<TRegisteredName> Names() const override
    {
        std::lock_guard lock(namesMutex_);
        std::vector<TRegisteredName> list;
        for (const auto& [key, entry] : names_)
            list.push_back({entry.Name, entry.Since, entry.Unranked});
        return list;
    }

    bool Release(std::string_view name) override
    {
        const AnsiString key = Protocol::PlayerNameKey(name);
        std::lock_guard lock(namesMutex_);
        const auto found = names_.find(key);
        if (found == names_.end())
            return false;
        const bool queued = QueueWrite("the release of " + found->second.Name, [key](TSqliteConnection& db) {
            db.Prepare("DELETE FROM names WHERE name_key = ?").Bind(1, key).Run();
        });
        if (queued)
            names_.erase(found);
        return queued;
    }

    bool SetUnranked(std::string_view name, bool unranked) override
    {
        const AnsiString key = Protocol::PlayerNameKey(name);
        std::lock_guard lock(namesMutex_);
        const auto found = names_.find(key);
        if (found == names_.end())
            return false;
        const bool queued =
            QueueWrite("the ranking of " + found->second.Name, [key, unranked](TSqliteConnection& db) {
                db.Prepare("UPDATE names SET unranked = ? WHERE name_key = ?").Bind(1, unranked).Bind(2, key).Run();
            });
        if (queued)
            found->second.Unranked = unranked;
        return queued;
    }

    void Backup(const QString& path, TDone done) override
    {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        for (const char* suffix : {"", "-wal", "-shm"})
            if (absolute == file_ + QLatin1String(suffix))
                return done(path + QStringLiteral(": is the live database itself"));
        const std::string target = QFile::encodeName(path).toStdString();
        auto report = [done](const std::string& error) { done(QString::fromStdString(error)); };
        const bool queued = writer_.TryPush(
            {"a backup", [target](TSqliteConnection& db) { BackUpDatabase(db, target); }, report, false});
        if (!queued)
            done(QStringLiteral("the records' write queue is full"));
    }

    TStoreCounts Counts() const override
    {
        return {writer_.Length(), writer_.Written(), dropped_ + writer_.Lost(), writer_.Failures()};
    }

    std::vector<TLeaderboardRow> Leaderboard(TTime now, int offset, int limit) const override
    {
        return Read([&](TSqliteConnection& db) { return ReadLeaderboard(db, now, offset, limit); });
    }

    std::optional<TPlayerPage> Player(std::string_view name, TTime now, int lastGames) const override
    {
        return Read([&](TSqliteConnection& db) { return ReadPlayer(db, name, now, lastGames); });
    }

    std::optional<TGameRecord> Game(std::int64_t id) const override
    {
        return Read([&](TSqliteConnection& db) { return ReadGame(db, id, true); });
    }

    std::vector<TGameRecord> Games(const TGamesQuery& query) const override
    {
        return Read([&](TSqliteConnection& db) { return ReadGames(db, query); });
    }

private:
    bool QueueWrite(const AnsiString& what, std::function<void(TSqliteConnection&)> write)
    {
        return writer_.TryPush({what, std::move(write), {}, true});
    }

    // One read at a time on the reading connection, in one read transaction
    // so that a page is consistent; a failed read is logged and answers empty.
    template <typename TRead> auto Read(TRead read) const -> decltype(read(std::declval<TSqliteConnection&>()))
    {
        std::lock_guard lock(readMutex_);
        try {
            reader_->Execute("BEGIN");
            auto result = read(*reader_);
            reader_->Execute("COMMIT");
            return result;
        } catch (const ESqliteError& error) {
            reader_->RollBack();
            log_(AnsiString("records: a read failed: ") + error.what());
            return {};
        }
    }

    const QString file_;
    const TLog log_;
    mutable std::mutex namesMutex_;
    TNames names_;
    std::atomic<std::int64_t> nextGameId_;
    std::atomic<std::uint64_t> dropped_ = 0;
    mutable std::mutex readMutex_;
    std::unique_ptr<TSqliteConnection> reader_;
    TSqliteWriter writer_;  // last: its thread stops before the rest goes
};

std::unique_ptr<TSqliteConnection> OpenConnection(const std::string& path, int flags,
                                                  std::chrono::milliseconds busyTimeout)
{
    auto db = std::make_unique<TSqliteConnection>(path, flags);
    Configure(*db, busyTimeout);
    return db;
}

}  // namespace

std::unique_ptr<TRecordStore> OpenSqliteRecordStore(const QString& directory, TRecordStore::TLog log,
                                                    QString& error, const TSqliteStoreOptions& options)
{
    const QString file = QDir(directory).filePath(QString::fromLatin1(SqliteRecordFileName));
    const std::string path = QFile::encodeName(file).toStdString();
    auto fail = [&](const QString& reason) {
        error = file + QStringLiteral(": ") + reason;
        return nullptr;
    };
    std::unique_ptr<TSqliteConnection> writer;
    int version = 0;
    try {
        writer = OpenConnection(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, options.BusyTimeout);
        version = static_cast<int>(writer->IntegerOf("PRAGMA user_version"));
        // SQLite opens a file it may not write read-only without a word;
        // every write would then fail.
        if (sqlite3_db_readonly(writer->Handle(), "main") == 1)
            return fail(QStringLiteral("cannot be opened for writing"));
        if (version <= SqliteSchemaVersion()) {
            TSqliteStatement mode = writer->Prepare("PRAGMA journal_mode = WAL");
            if (!mode.Step() || mode.Bytes(0) != "wal")
                return fail(QStringLiteral("cannot be opened: it does not take the WAL journal"));
        }
        writer->Execute("PRAGMA synchronous = NORMAL");
    } catch (const ESqliteError& e) {
        return fail(QStringLiteral("cannot be opened: ") + QString::fromUtf8(e.what()));
    }
    if (version > SqliteSchemaVersion())
        return fail(QStringLiteral("the records are of schema version %1, newer than this program's %2;"
                                   " run a newer kivolsrv or restore an older backup")
                        .arg(version)
                        .arg(SqliteSchemaVersion()));
    if (version < SqliteSchemaVersion()) {
        try {
            MigrateSqliteSchema(*writer, version);
        } catch (const ESqliteError& e) {
            return fail(QStringLiteral("migrating the records from schema version %1 to %2 failed: %3")
                            .arg(version)
                            .arg(SqliteSchemaVersion())
                            .arg(QString::fromUtf8(e.what())));
        }
    }
    try {
        TNames names = LoadNames(*writer);
        const std::int64_t nextGameId = writer->IntegerOf("SELECT COALESCE(MAX(id), 0) + 1 FROM games");
        auto reader = OpenConnection(path, SQLITE_OPEN_READONLY, options.BusyTimeout);
        return std::make_unique<TSqliteRecordStore>(file, std::move(writer), std::move(reader), std::move(names),
                                                    nextGameId, options.Writer, std::move(log));
    } catch (const ESqliteError& e) {
        return fail(QStringLiteral("cannot be read: ") + QString::fromUtf8(e.what()));
    }
}

}  // namespace Records
