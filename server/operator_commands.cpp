#include "server/operator_commands.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <set>

#include "platform/cp932.h"
#include "protocol/player_name.h"
#include "records/record_json.h"
#include "transport/custom_socket_rw.h"

using namespace Control;
using Protocol::Tables::TRefusal;

namespace {

// How long a shutdown waits for its connections to close before it ends.
constexpr auto DrainLimit = std::chrono::seconds(3);
constexpr auto DrainPoll = std::chrono::milliseconds(50);

QString Text(std::string_view cp932) { return Cp932::Decode(cp932); }
std::string Utf8(std::string_view cp932) { return Cp932::ToUtf8(cp932); }

std::string TimeText(std::chrono::system_clock::time_point time)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(Qt::ISODate).toStdString();
}

std::string TableLabel(const TGameTable& table)
{
    return table.IsMain() ? std::string("(main)") : Utf8(table.Name());
}

// The operator's reason as the player reads it, or the refusal's own sentence.
AnsiString RefusalText(TRefusal refusal, const std::string& reason)
{
    return reason.empty() ? Protocol::Tables::RefusalSentence(refusal) : Cp932::FromUtf8(reason);
}

std::string DurationText(long long seconds)
{
    if (seconds >= 60 && seconds % 60 == 0)
        return std::to_string(seconds / 60) + "分";
    if (seconds >= 60)
        return std::to_string(seconds / 60) + "分" + std::to_string(seconds % 60) + "秒";
    return std::to_string(seconds) + "秒";
}

TControlAnswer Done(std::string text, QJsonValue json = QJsonValue())
{
    return {true, std::move(text), std::move(json), {}};
}

QJsonObject BanJson(const TBan& ban)
{
    return {{"id", ban.Id},
            {"what", QString::fromStdString(ban.WhatText())},
            {"until", ban.UntilLifted() ? QString() : QString::fromStdString(TimeText(ban.Until))},
            {"reason", QString::fromStdString(ban.Reason)},
            {"who", static_cast<qint64>(ban.Who)},
            {"when", QString::fromStdString(TimeText(ban.When))}};
}

std::string BanLine(const TBan& ban)
{
    return std::to_string(ban.Id) + "  " + ban.WhatText() + "  until " +
           (ban.UntilLifted() ? std::string("lifted") : TimeText(ban.Until)) + "  reason \"" + ban.Reason +
           "\"  by uid " + std::to_string(ban.Who) + "  at " + TimeText(ban.When);
}

struct TCounts {
    int Tcp = 0, WebSocket = 0, Tables = 0, Players = 0, Watchers = 0, Games = 0, Bots = 0;
};

TCounts Count(TGameServer& game)
{
    TCounts counts;
    for (const auto& [connection, peer] : game.Peers())
        ++(connection->Kind() == TPacketConnection::TKind::WebSocket ? counts.WebSocket : counts.Tcp);
    for (TGameTable* table : game.Tables()) {
        ++counts.Tables;
        counts.Players += table->Roster.Count();
        counts.Watchers += table->Row().Watchers;
        if (table->Game().Running()) {
            ++counts.Games;
            counts.Bots += static_cast<int>(table->Game().Bots().size());
        }
    }
    return counts;
}

}  // namespace

TOperatorCommands::TOperatorCommands(TGameServer& game, LogFunction log)
    : game_(game),
      log_(std::move(log)),
      started_(std::chrono::steady_clock::now()),
      pacedAtStart_(TCustomSocketRW::PacedSeconds())
{
    shutdownTimer_.setSingleShot(true);
    shutdownTimer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&shutdownTimer_, &QTimer::timeout, [this] { ShutdownStep(); });
    drainTimer_.setInterval(DrainPoll);
    QObject::connect(&drainTimer_, &QTimer::timeout, [this] {
        if (!game_.Peers().empty() && std::chrono::steady_clock::now() < drainUntil_)
            return;
        drainTimer_.stop();
        if (OnShutdown)
            OnShutdown();
    });
}

TControlHandler TOperatorCommands::Handler()
{
    return CommandHandler([this](const TControlCommand& command, const TControlRequest& request) {
        return Run(command, request.Uid);
    }, [this](const std::string& line) { Log(line); });
}

void TOperatorCommands::Log(const std::string& utf8)
{
    if (log_)
        log_(Cp932::FromUtf8(utf8));
}

TControlAnswer TOperatorCommands::Run(const TControlCommand& command, uid_t who)
{
    return std::visit(
        [&](const auto& c) -> TControlAnswer {
            using T = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<T, TStatusCommand>) return Status();
            else if constexpr (std::is_same_v<T, TTablesCommand>) return Tables();
            else if constexpr (std::is_same_v<T, TPlayersCommand>) return Players(c);
            else if constexpr (std::is_same_v<T, TKickCommand>) return Kick(c);
            else if constexpr (std::is_same_v<T, TBanCommand>) return Ban(c, who);
            else if constexpr (std::is_same_v<T, TUnbanCommand>) return Unban(c);
            else if constexpr (std::is_same_v<T, TBansCommand>) return Bans();
            else if constexpr (std::is_same_v<T, TMuteCommand>) return Mute(c);
            else if constexpr (std::is_same_v<T, TUnmuteCommand>) return Unmute(c);
            else if constexpr (std::is_same_v<T, TSayCommand>) return Say(c);
            else if constexpr (std::is_same_v<T, TCloseCommand>) return Close(c);
            else if constexpr (std::is_same_v<T, TShutdownCommand>) return Shutdown(c);
            else if constexpr (std::is_same_v<T, TGameCommand>) return Game(c);
            else if constexpr (std::is_same_v<T, TGamesCommand>) return Games(c);
            else if constexpr (std::is_same_v<T, TPlayerCommand>) return Player(c);
            else if constexpr (std::is_same_v<T, TRankCommand>) return Rank(c);
            else if constexpr (std::is_same_v<T, TBackupCommand>) return Backup(c);
            else if constexpr (std::is_same_v<T, TNamesCommand>) return Names();
            else if constexpr (std::is_same_v<T, TReleaseCommand>) return Release(c);
            else return Done(MetricsText());
        },
        command);
}

TControlAnswer TOperatorCommands::Status()
{
    const TCounts counts = Count(game_);
    const auto uptime =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started_).count();
    const int bans = static_cast<int>(game_.Bans.Bans().size());
    const std::string text = "version " + QCoreApplication::applicationVersion().toStdString() + "\nuptime " +
                             std::to_string(uptime) + " s\nconnections " + std::to_string(counts.Tcp) + " tcp, " +
                             std::to_string(counts.WebSocket) + " websocket\ntables " + std::to_string(counts.Tables) +
                             "\nplayers " + std::to_string(counts.Players) + "\nwatchers " +
                             std::to_string(counts.Watchers) + "\nbans " + std::to_string(bans) + "\n";
    return Done(text, QJsonObject{{"version", QCoreApplication::applicationVersion()},
                                  {"uptime", static_cast<qint64>(uptime)},
                                  {"tcp", counts.Tcp},
                                  {"websocket", counts.WebSocket},
                                  {"tables", counts.Tables},
                                  {"players", counts.Players},
                                  {"watchers", counts.Watchers},
                                  {"bans", bans}});
}

TControlAnswer TOperatorCommands::Tables()
{
    std::string text;
    QJsonArray rows;
    for (TGameTable* table : game_.Tables()) {
        const auto row = table->Row();
        text += TableLabel(*table) + "  players " + std::to_string(row.Players) + "  seated " +
                std::to_string(row.Seated) + "  watchers " + std::to_string(row.Watchers) + "  game " +
                (row.Game ? "1" : "0") + (table->Key ? "  private" : "") + "\n";
        rows.append(QJsonObject{{"table", Text(table->Name())},
                                {"players", row.Players},
                                {"seated", row.Seated},
                                {"watchers", row.Watchers},
                                {"game", row.Game},
                                {"private", table->Key.has_value()}});
    }
    return Done(text, rows);
}

std::optional<std::vector<TGameTable*>> TOperatorCommands::TablesNamed(const std::optional<AnsiString>& name)
{
    if (!name)
        return game_.Tables();
    TGameTable* only = game_.FindTable(*name);
    if (!only)
        return std::nullopt;
    return std::vector<TGameTable*>{only};
}

TControlAnswer TOperatorCommands::Players(const TPlayersCommand& command)
{
    const auto tables = TablesNamed(command.Table);
    if (!tables)
        return TControlAnswer::Refused("no table " + Utf8(*command.Table));
    std::string text;
    QJsonArray rows;
    for (TGameTable* table : *tables) {
        for (const TRosterEntry& entry : table->Roster.Entries()) {
            // An away entry shows where its connection came from, for a ban.
            const std::string address = entry.Address.empty() ? std::string("-") : std::string(entry.Address);
            const std::string level = entry.Level == 0 ? std::string("-") : std::to_string(entry.Level);
            std::string seats;
            for (int seat = 0; seat < static_cast<int>(table->Table.Occupants.size()); ++seat)
                if (SameNameIgnoringCase(table->Table.Occupants[static_cast<std::size_t>(seat)], entry.Name)) {
                    if (!seats.empty())
                        seats += ',';
                    seats += std::to_string(seat);
                }
            const std::string name = Utf8(Protocol::TrimmedName(entry.Name));
            text += TableLabel(*table) + "  " + name + "  " + address + "  level " + level + "  seats " +
                    (seats.empty() ? "-" : seats) + "  " + (entry.Away ? "away" : "connected") + "  since " +
                    TimeText(entry.Since) + "\n";
            rows.append(QJsonObject{{"table", Text(table->Name())},
                                    {"name", QString::fromStdString(name)},
                                    {"address", QString::fromStdString(address)},
                                    {"level", QString::fromStdString(level)},
                                    {"seats", QString::fromStdString(seats)},
                                    {"away", entry.Away},
                                    {"since", QString::fromStdString(TimeText(entry.Since))}});
        }
    }
    return Done(text, rows);
}

int TOperatorCommands::KickName(std::string_view name, TGameTable* only, TRefusal refusal, const AnsiString& text)
{
    // Removing an away entry may remove its table: the tables are looked up
    // afresh after every kick.
    const AnsiString key = Protocol::PlayerNameKey(name);
    std::vector<AnsiString> tableNames;
    for (TGameTable* table : only ? std::vector<TGameTable*>{only} : game_.Tables())
        tableNames.push_back(table->Name());
    int kicked = 0;
    for (const AnsiString& tableName : tableNames) {
        std::set<const TPacketConnection*> done;
        for (;;) {
            TGameTable* table = game_.FindTable(tableName);
            int index = -1;
            for (int i = 0; table && i < table->Roster.Count() && index < 0; ++i)
                if (Protocol::PlayerNameKey(table->Roster[i]) == key && !done.contains(table->Roster.Entry(i).Owner))
                    index = i;
            if (index < 0)
                break;
            if (const TPacketConnection* owner = table->Roster.Entry(index).Owner)
                done.insert(owner);
            game_.KickEntry(*table, index, refusal, text);
            ++kicked;
        }
    }
    return kicked;
}

TControlAnswer TOperatorCommands::Kick(const TKickCommand& command)
{
    TGameTable* table = nullptr;
    if (command.Table && !(table = game_.FindTable(*command.Table)))
        return TControlAnswer::Refused("no table " + Utf8(*command.Table));
    const int kicked = KickName(command.Name, table, TRefusal::Kicked, RefusalText(TRefusal::Kicked, command.Reason));
    if (kicked == 0)
        return TControlAnswer::Refused("no player " + Utf8(command.Name));
    Log("管理: " + Utf8(command.Name) + " を退出させます (" + std::to_string(kicked) + ")");
    return Done("kicked " + std::to_string(kicked) + " entr" + (kicked == 1 ? "y" : "ies") + " of " +
                Utf8(command.Name) + "\n");
}

TControlAnswer TOperatorCommands::Ban(const TBanCommand& command, uid_t who)
{
    const TBanList::TChange change =
        game_.Bans.Add(command.What, std::chrono::minutes(command.Minutes), command.Reason, who);
    const AnsiString text = RefusalText(TRefusal::Banned, command.Reason);
    int kicked = 0;
    if (const auto* name = std::get_if<AnsiString>(&command.What)) {
        kicked = KickName(*name, nullptr, TRefusal::Banned, text);
    } else {
        const auto& pattern = std::get<TAddressPattern>(command.What);
        std::vector<const TPacketConnection*> matching;
        for (const auto& [connection, peer] : game_.Peers())
            if (const auto address = ReadIpAddress(connection->PeerAddress()); address && pattern.Matches(*address))
                matching.push_back(connection);
        for (const TPacketConnection* connection : matching)
            game_.Kick(connection, TRefusal::Banned, text);
        kicked = static_cast<int>(matching.size());
    }
    std::string answer;
    for (const TBan& ban : change.Bans) {
        answer += "banned " + BanLine(ban) + "\n";
        Log("管理: 禁止 " + BanLine(ban));
    }
    answer += "kicked " + std::to_string(kicked) + "\n";
    if (!change.SaveError.isEmpty())
        return TControlAnswer::Refused(answer + "the ban holds until the server stops but was not saved: " +
                                       change.SaveError.toStdString());
    return Done(answer, change.Bans.empty() ? QJsonValue() : QJsonValue(BanJson(change.Bans.front())));
}

TControlAnswer TOperatorCommands::Unban(const TUnbanCommand& command)
{
    const TBanList::TChange change = std::visit(
        [&](const auto& what) {
            if constexpr (std::is_same_v<std::decay_t<decltype(what)>, int>)
                return game_.Bans.LiftId(what);
            else
                return game_.Bans.Lift(TBanTarget(what));
        },
        command.What);
    if (change.Bans.empty())
        return TControlAnswer::Refused("no such ban");
    std::string answer;
    for (const TBan& ban : change.Bans) {
        answer += "lifted " + BanLine(ban) + "\n";
        Log("管理: 禁止を解除 " + BanLine(ban));
    }
    if (!change.SaveError.isEmpty())
        return TControlAnswer::Refused(answer + "not saved: " + change.SaveError.toStdString());
    return Done(answer);
}

TControlAnswer TOperatorCommands::Bans()
{
    std::string text;
    QJsonArray rows;
    for (const TBan& ban : game_.Bans.Bans()) {
        text += BanLine(ban) + "\n";
        rows.append(BanJson(ban));
    }
    return Done(text, rows);
}

TControlAnswer TOperatorCommands::Mute(const TMuteCommand& command)
{
    game_.Mute(command.Name, command.Minutes > 0 ? game_.Now() + std::chrono::minutes(command.Minutes)
                                                 : std::chrono::steady_clock::time_point{});
    Log("管理: " + Utf8(command.Name) + " の発言を制限");
    return Done("muted " + Utf8(command.Name) + "\n");
}

TControlAnswer TOperatorCommands::Unmute(const TUnmuteCommand& command)
{
    if (!game_.Unmute(command.Name))
        return TControlAnswer::Refused(Utf8(command.Name) + " is not muted");
    Log("管理: " + Utf8(command.Name) + " の発言制限を解除");
    return Done("unmuted " + Utf8(command.Name) + "\n");
}

TControlAnswer TOperatorCommands::Say(const TSayCommand& command)
{
    const auto tables = TablesNamed(command.Table);
    if (!tables)
        return TControlAnswer::Refused("no table " + Utf8(*command.Table));
    const AnsiString line = Cp932::FromUtf8("【管理】" + command.Text);
    for (TGameTable* table : *tables)
        table->Announce(line);
    Log(Utf8(line));
    return Done("said at " + std::to_string(tables->size()) + " table(s)\n");
}

TControlAnswer TOperatorCommands::Close(const TCloseCommand& command)
{
    TGameTable* table = game_.FindTable(command.Table);
    if (!table)
        return TControlAnswer::Refused("no table " + Utf8(command.Table));
    const AnsiString text = RefusalText(TRefusal::Closed, command.Reason);
    const std::vector<TPeer*> members = table->Members();
    for (const TPeer* member : members)
        game_.Kick(member->Connection, TRefusal::Closed, text);
    // The away entries, which no connection holds, go at once.
    for (;;) {
        table = game_.FindTable(command.Table);
        int away = -1;
        for (int i = 0; table && i < table->Roster.Count() && away < 0; ++i)
            if (!table->Roster.Entry(i).Owner)
                away = i;
        if (away < 0)
            break;
        game_.KickEntry(*table, away, TRefusal::Closed, text);
    }
    Log("管理: テーブル「" + Utf8(command.Table) + "」を閉じます");
    return Done("closing " + std::to_string(members.size()) + " connection(s)\n");
}

TControlAnswer TOperatorCommands::Game(const TGameCommand& command)
{
    TGameTable* table = game_.FindTable(command.Table);
    if (!table)
        return TControlAnswer::Refused("no table " + Utf8(command.Table));
    if (!command.Start) {
        if (!table->StopGame())
            return TControlAnswer::Refused("no game runs at " + TableLabel(*table));
        Log("管理: " + TableLabel(*table) + " の対局を止めました");
        return Done("game stopped\n");
    }
    std::string refusal;
    const auto options = std::get<Dealer::TGameOptions>(Dealer::ReadGameOptions(command.Fields));
    if (!table->StartGame({}, options, refusal))
        return TControlAnswer::Refused(refusal);
    Log("管理: " + TableLabel(*table) + " で対局を始めました");
    return Done("game started: " + Dealer::GameOptionsText(options) + "\n");
}

TControlAnswer TOperatorCommands::Shutdown(const TShutdownCommand& command)
{
    if (command.Cancel) {
        if (!shuttingDown_ || !shutdownTimer_.isActive())
            return TControlAnswer::Refused("no shutdown is pending");
        shutdownTimer_.stop();
        shuttingDown_ = false;
        for (TGameTable* table : game_.Tables())
            table->Announce(Cp932::FromUtf8("【管理】サーバーの終了は取り消されました"));
        Log("管理: 終了を取り消し");
        return Done("shutdown cancelled\n");
    }
    if (shuttingDown_ && !shutdownTimer_.isActive())
        return TControlAnswer::Refused("the server is shutting down now");
    shuttingDown_ = true;
    shutdownReason_ = command.Reason;
    shutdownAt_ = std::chrono::steady_clock::now() + Minute * command.InMinutes.value_or(0);
    if (command.InMinutes) {
        AnnounceShutdown(*command.InMinutes * 60LL);
    } else {
        nextNotice_ = 0;
        shutdownTimer_.start(0);  // after this answer has gone out
    }
    return Done(command.InMinutes ? "shutdown in " + std::to_string(*command.InMinutes) + " min\n"
                                  : std::string("shutting down\n"));
}

void TOperatorCommands::ShutdownStep()
{
    // The notice says the time its timer was set for, however late it fires.
    if (nextNotice_ <= 0)
        FinishShutdown();
    else
        AnnounceShutdown(nextNotice_);
}

void TOperatorCommands::AnnounceShutdown(long long seconds)
{
    std::string notice = "【管理】サーバーはあと" + DurationText(seconds) + "で終了します";
    if (!shutdownReason_.empty())
        notice += "（" + shutdownReason_ + "）";
    for (TGameTable* table : game_.Tables())
        table->Announce(Cp932::FromUtf8(notice));
    Log(notice);
    nextNotice_ = 0;
    for (int mark : NoticeSeconds)
        if (mark < seconds) {
            nextNotice_ = mark;
            break;
        }
    const auto next = shutdownAt_ - Minute * nextNotice_ / 60;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - std::chrono::steady_clock::now());
    shutdownTimer_.start(std::max<int>(0, static_cast<int>(wait.count())));
}

void TOperatorCommands::FinishShutdown()
{
    Log("管理: サーバーを終了します");
    game_.CloseAll();
    drainUntil_ = std::chrono::steady_clock::now() + DrainLimit;
    drainTimer_.start();
}

std::string TOperatorCommands::MetricsText()
{
    using namespace KivolMetrics;
    const TCounts counts = Count(game_);
    TMetricsRegistry& metrics = game_.Metrics;
    metrics.Gauge(Connections, {{"transport", "tcp"}}) = counts.Tcp;
    metrics.Gauge(Connections, {{"transport", "websocket"}}) = counts.WebSocket;
    metrics.Gauge(KivolMetrics::Tables) = counts.Tables;
    metrics.Gauge(KivolMetrics::Players) = counts.Players;
    metrics.Gauge(Watchers) = counts.Watchers;
    metrics.Gauge(GamesRunning) = counts.Games;
    metrics.Gauge(BotsPlaying) = counts.Bots;
    metrics.Gauge(KivolMetrics::Bans) = static_cast<double>(game_.Bans.Bans().size());
    metrics.Gauge(UptimeSeconds) =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    metrics.Counter(PacedSeconds) = TCustomSocketRW::PacedSeconds() - pacedAtStart_;
    metrics.Gauge(EventLoopLongestStall) = stalls_.TakeLongestSeconds();
    if (const Records::TRecordStore* records = game_.RecordStore()) {
        const Records::TStoreCounts kept = records->Counts();
        metrics.Gauge(RecordsQueue) = static_cast<double>(kept.Queued);
        metrics.Counter(RecordsWritten) = static_cast<double>(kept.Written);
        metrics.Counter(RecordsDropped) = static_cast<double>(kept.Dropped);
        metrics.Counter(RecordsFailedWrites) = static_cast<double>(kept.FailedWrites);
    }
    return metrics.Render();
}

namespace {

constexpr const char* NoRecords = "this server keeps no records";

// A JSON text of the records (record_json.h) as the answer's JSON.
QJsonValue JsonOf(const std::string& text)
{
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text));
    return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}

std::string Number(double value, int decimals)
{
    return QString::number(value, 'f', decimals).toStdString();
}

std::string RatingText(const Glicko2::TRating& rating)
{
    return Number(rating.Rating, 2) + " rd " + Number(rating.Deviation, 2) +
           (Glicko2::IsProvisional(rating) ? " (provisional)" : "");
}

// "12  2026-12-09T14:00:00Z  (main)  deck  ann place 1 cards 20, cpu1 (bot 2) place 2 cards 14"
std::string GameLine(const Records::TGameRecord& game)
{
    std::string line = std::to_string(game.Id) + "  " + TimeText(game.End) + "  " +
                       (game.Table.empty() ? std::string("(main)") : Utf8(game.Table)) + "  " +
                       std::string(Records::GameEndWord(game.EndReason)) + " ";
    const char* separator = " ";
    for (const Records::TGamePlayer& player : game.Players) {
        const std::string bot = player.IsBot() ? " (bot " + std::to_string(player.BotLevel) + ")" : "";
        line += separator + Utf8(player.Name) + bot + " place " + std::to_string(player.Place) + " cards " +
                std::to_string(player.Cards);
        separator = ", ";
    }
    return line + "\n";
}

}  // namespace

TControlAnswer TOperatorCommands::Games(const TGamesCommand& command)
{
    Records::TRecordStore* records = game_.RecordStore();
    if (!records)
        return TControlAnswer::Refused(NoRecords);
    const std::vector<Records::TGameRecord> games =
        records->Games({command.Player, command.Table, std::nullopt, command.Limit});
    std::string text;
    for (const Records::TGameRecord& game : games)
        text += GameLine(game);
    std::string lines = Records::GamesNdjson(games, false);
    QJsonArray rows;
    for (const QByteArray& line : QByteArray::fromStdString(lines).split('\n'))
        if (!line.isEmpty())
            rows.append(QJsonDocument::fromJson(line).object());
    return Done(text, rows);
}

TControlAnswer TOperatorCommands::Player(const TPlayerCommand& command)
{
    Records::TRecordStore* records = game_.RecordStore();
    if (!records)
        return TControlAnswer::Refused(NoRecords);
    constexpr int LastGames = 10;
    const std::optional<Records::TPlayerPage> page =
        records->Player(command.Name, std::chrono::system_clock::now(), LastGames);
    if (!page)
        return TControlAnswer::Refused("no games and no registration of " + Utf8(command.Name));
    const Records::TPlayerStatistics& statistics = page->Statistics;
    std::string text = Utf8(page->Name) + (page->Registered ? "  registered" : "  guest") +
                       (page->Unranked ? "  unranked" : "") + "\nrating " +
                       (page->Rating ? RatingText(*page->Rating) : std::string("none")) + "\ngames " +
                       std::to_string(statistics.Games) + "\nplaces";
    for (std::size_t place = 0; place < statistics.Places.size(); ++place)
        text += " " + std::to_string(place + 1) + ":" + std::to_string(statistics.Places[place]);
    const auto ms = [](const std::optional<std::int64_t>& value) {
        return value ? std::to_string(*value) + " ms" : std::string("none");
    };
    text += "\ncards " + std::to_string(statistics.Cards) + "\nhits " + std::to_string(statistics.CorrectHits) +
            " correct, " + std::to_string(statistics.WrongHits) + " wrong\nreaction best " +
            ms(statistics.BestReactionMs) + ", median " + ms(statistics.MedianReactionMs) + "\n";
    for (const Records::TGameRecord& game : page->LastGames)
        text += GameLine(game);
    return Done(text, JsonOf(Records::PlayerJson(*page)));
}

TControlAnswer TOperatorCommands::Rank(const TRankCommand& command)
{
    Records::TRecordStore* records = game_.RecordStore();
    if (!records)
        return TControlAnswer::Refused(NoRecords);
    if (!records->SetUnranked(command.Name, !command.Ranked))
        return TControlAnswer::Refused(Utf8(command.Name) + " is not registered");
    Log("管理: " + Utf8(command.Name) + (command.Ranked ? " をランキングに戻します" : " をランキングから外します"));
    return Done(Utf8(command.Name) + (command.Ranked ? " is ranked again" : " is kept off the leaderboard"));
}

TControlAnswer TOperatorCommands::Backup(const TBackupCommand& command)
{
    Records::TRecordStore* records = game_.RecordStore();
    if (!records)
        return TControlAnswer::Refused(NoRecords);
    TControlAnswer answer;
    // The copy is made by the records' writer, behind the writes queued
    // before it; the answer waits for it, the event loop does not.
    answer.Later = [records, file = command.File, log = log_](TControlAnswer::TReply reply) {
        records->Backup(QString::fromStdString(file), [file, reply, log](const QString& error) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [file, reply, log, error] {
                    if (!error.isEmpty())
                        return reply(TControlAnswer::Refused(error.toStdString()));
                    if (log)
                        log(Cp932::FromUtf8("管理: 記録を " + file + " に保存しました"));
                    reply(Done("the records are copied to " + file));
                },
                Qt::QueuedConnection);
        });
    };
    return answer;
}

TControlAnswer TOperatorCommands::Names()
{
    Records::TRecordStore* records = game_.RecordStore();
    if (!records)
        return TControlAnswer::Refused(NoRecords);
    std::string text;
    QJsonArray rows;
    for (const Records::TRegisteredName& name : records->Names()) {
        text += Utf8(name.Name) + "  since " + TimeText(name.Since) + (name.Unranked ? "  unranked" : "") + "\n";
        rows.append(QJsonObject{{"name", Text(name.Name)},
                                {"since", QString::fromStdString(TimeText(name.Since))},
                                {"unranked", name.Unranked}});
    }
    return Done(text, rows);
}

TControlAnswer TOperatorCommands::Release(const TReleaseCommand& command)
{
    Records::TRecordStore* records = game_.RecordStore();
    if (!records)
        return TControlAnswer::Refused(NoRecords);
    if (!records->Release(command.Name))
        return TControlAnswer::Refused(Utf8(command.Name) + " is not registered");
    Log("管理: 登録名 " + Utf8(command.Name) + " を解放します");
    return Done(Utf8(command.Name) + " is free again");
}
