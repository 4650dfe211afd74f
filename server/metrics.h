#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

// Counters, gauges and histograms by name and labels, rendered in the
// Prometheus text format. A series is made on first use; the reference it
// gives stays valid for the registry's life, so a hot path looks it up once.
// Using a name that was not declared, or as another type, is a programming
// error (std::logic_error).
class TMetricsRegistry {
public:
    enum class TType { Counter, Gauge, Histogram };
    using TLabels = std::vector<std::pair<std::string, std::string>>;

    struct THistogram {
        std::vector<double> Bounds;  // upper bounds, rising
        std::vector<double> Counts;  // per bucket, not cumulative
        double Sum = 0;
        double Count = 0;
        void Observe(double value);
    };

    // Declares a family; a histogram with the upper bounds of its buckets.
    void Declare(const std::string& name, TType type, const std::string& help, std::vector<double> bounds = {});

    // A counter only ever grows; a gauge is set; a histogram observes.
    double& Counter(const std::string& name, const TLabels& labels = {});
    double& Gauge(const std::string& name, const TLabels& labels = {});
    THistogram& Histogram(const std::string& name, const TLabels& labels = {});

    std::string Render() const;

private:
    struct TFamily {
        TType Type;
        std::string Help;
        std::vector<double> Bounds;
        std::map<TLabels, double> Values;
        std::map<TLabels, THistogram> Histograms;
    };
    TFamily& Family(const std::string& name, TType type);
    std::map<std::string, TFamily> families_;
};

// The series every Kivol server offers.
namespace KivolMetrics {
inline constexpr const char* Connections = "kivol_connections";              // gauge {transport}
inline constexpr const char* Tables = "kivol_tables";                        // gauge, the main table included
inline constexpr const char* Players = "kivol_players";                      // gauge
inline constexpr const char* Watchers = "kivol_watchers";                    // gauge
inline constexpr const char* PacketsReceived = "kivol_packets_received_total";  // counter
inline constexpr const char* PacketsSent = "kivol_packets_sent_total";       // counter
inline constexpr const char* BytesSent = "kivol_bytes_sent_total";           // counter
inline constexpr const char* Refusals = "kivol_refusals_total";              // counter {reason}
inline constexpr const char* DroppedPackets = "kivol_dropped_packets_total"; // counter {why}
inline constexpr const char* PacedSeconds = "kivol_paced_seconds_total";     // counter
inline constexpr const char* JudgeSeconds = "kivol_judge_seconds";           // histogram
inline constexpr const char* Bans = "kivol_bans";                            // gauge
inline constexpr const char* UptimeSeconds = "kivol_uptime_seconds";         // gauge
inline constexpr const char* GamesRunning = "kivol_games_running";           // gauge
inline constexpr const char* GamesTotal = "kivol_games_total";               // counter {end}
inline constexpr const char* BotsPlaying = "kivol_bots";                     // gauge
inline constexpr const char* BotSolves = "kivol_bot_solves_total";                 // counter
inline constexpr const char* BotSolvesDelayed = "kivol_bot_solves_delayed_total";  // counter
inline constexpr const char* RecordsQueue = "kivol_records_queue";            // gauge
inline constexpr const char* RecordsWritten = "kivol_records_written_total";  // counter
inline constexpr const char* RecordsDropped = "kivol_records_dropped_total";  // counter
inline constexpr const char* RecordsFailedWrites = "kivol_records_failed_writes_total";  // counter
inline constexpr const char* EventLoopLongestStall = "kivol_event_loop_longest_stall_seconds";  // gauge

// Declares every series above with its help text.
void Declare(TMetricsRegistry& registry);
}  // namespace KivolMetrics
