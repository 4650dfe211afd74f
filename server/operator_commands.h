#pragma once

#include <sys/types.h>

#include <QTimer>
#include <chrono>
#include <functional>
#include <string>

#include "control/command_handler.h"
#include "control/control_command.h"
#include "server/event_loop_stalls.h"
#include "server/game_server.h"

// The operator's commands carried out on a game server: what kivolctl sends
// over the control socket and what the operator's window buttons do go
// through Run alike. Every change is written to the server's log.
class TOperatorCommands {
public:
    using LogFunction = std::function<void(const AnsiString& message)>;
    TOperatorCommands(TGameServer& game, LogFunction log);

    Control::TControlAnswer Run(const Control::TControlCommand& command, uid_t who);
    // The control socket's handler: every request logged with its caller's uid, then run.
    Control::TControlHandler Handler();
    // The metrics in the Prometheus text format (kivolctl metrics, the web port's /metrics).
    std::string MetricsText();
    // A line (UTF-8) in the server's log.
    void Log(const std::string& utf8);

    // Called once a shutdown has closed every connection (main ends the program there).
    std::function<void()> OnShutdown;
    // The notices of a shutdown: this long before its end, those shorter than the wait.
    static constexpr int NoticeSeconds[] = {600, 300, 120, 60, 30, 10};
    // How long a minute of the shutdown's schedule lasts (tests shorten it).
    std::chrono::milliseconds Minute = std::chrono::minutes(1);

private:
    // Every table, or the one named; nothing when no table has that name.
    std::optional<std::vector<TGameTable*>> TablesNamed(const std::optional<AnsiString>& name);
    Control::TControlAnswer Status();
    Control::TControlAnswer Tables();
    Control::TControlAnswer Players(const Control::TPlayersCommand& command);
    Control::TControlAnswer Kick(const Control::TKickCommand& command);
    Control::TControlAnswer Ban(const Control::TBanCommand& command, uid_t who);
    Control::TControlAnswer Unban(const Control::TUnbanCommand& command);
    Control::TControlAnswer Bans();
    Control::TControlAnswer Mute(const Control::TMuteCommand& command);
    Control::TControlAnswer Unmute(const Control::TUnmuteCommand& command);
    Control::TControlAnswer Say(const Control::TSayCommand& command);
    Control::TControlAnswer Close(const Control::TCloseCommand& command);
    Control::TControlAnswer Game(const Control::TGameCommand& command);
    Control::TControlAnswer Shutdown(const Control::TShutdownCommand& command);
    // The records (operator_records.cpp); refused while the server keeps none.
    Control::TControlAnswer Games(const Control::TGamesCommand& command);
    Control::TControlAnswer Player(const Control::TPlayerCommand& command);
    Control::TControlAnswer Rank(const Control::TRankCommand& command);
    Control::TControlAnswer Backup(const Control::TBackupCommand& command);
    Control::TControlAnswer Names();
    Control::TControlAnswer Release(const Control::TReleaseCommand& command);

    // Kicks every roster entry of that name (at table only, when given); how many.
    int KickName(std::string_view name, TGameTable* table, Protocol::Tables::TRefusal refusal, const AnsiString& text);
    // Announces the time left and waits for the next notice or the end.
    void ShutdownStep();
    void AnnounceShutdown(long long seconds);
    void FinishShutdown();

    TGameServer& game_;
    LogFunction log_;
    std::chrono::steady_clock::time_point started_;
    // The process's paced seconds when these commands began: the metrics
    // count from there.
    double pacedAtStart_;
    // The metrics give the longest turn of the event loop between two readings.
    TEventLoopStalls stalls_;
    QTimer shutdownTimer_;
    std::chrono::steady_clock::time_point shutdownAt_{};
    std::string shutdownReason_;
    // The notice the timer is set for, in seconds left (0: the end).
    long long nextNotice_ = 0;
    bool shuttingDown_ = false;
    QTimer drainTimer_;
    std::chrono::steady_clock::time_point drainUntil_{};
};
