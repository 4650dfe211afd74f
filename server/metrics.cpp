#include "server/metrics.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

namespace {

std::string Number(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general).ptr;
    return std::string(text, end);
}

// A label value with backslash, double quote and line feed escaped.
std::string Escaped(const std::string& value)
{
    std::string escaped;
    for (char c : value) {
        if (c == '\\' || c == '"')
            escaped += '\\';
        escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return escaped;
}

std::string LabelText(const TMetricsRegistry::TLabels& labels)
{
    if (labels.empty())
        return {};
    std::string text = "{";
    for (const auto& [name, value] : labels)
        text += (text.size() > 1 ? "," : "") + name + "=\"" + Escaped(value) + '"';
    return text + '}';
}

// Help text escapes backslash and line feed only.
std::string EscapedHelp(const std::string& help)
{
    std::string escaped;
    for (char c : help)
        escaped += c == '\\' ? std::string("\\\\") : c == '\n' ? std::string("\\n") : std::string(1, c);
    return escaped;
}

void RenderHistogram(std::string& out, const std::string& name, const TMetricsRegistry::TLabels& labels,
                     const TMetricsRegistry::THistogram& histogram)
{
    double cumulative = 0;
    for (std::size_t i = 0; i <= histogram.Bounds.size(); ++i) {
        cumulative += histogram.Counts[i];
        TMetricsRegistry::TLabels bucket = labels;
        bucket.emplace_back("le", i < histogram.Bounds.size() ? Number(histogram.Bounds[i]) : "+Inf");
        out += name + "_bucket" + LabelText(bucket) + ' ' + Number(cumulative) + '\n';
    }
    out += name + "_sum" + LabelText(labels) + ' ' + Number(histogram.Sum) + '\n';
    out += name + "_count" + LabelText(labels) + ' ' + Number(histogram.Count) + '\n';
}

}  // namespace

void TMetricsRegistry::THistogram::Observe(double value)
{
    const auto bucket = std::lower_bound(Bounds.begin(), Bounds.end(), value) - Bounds.begin();
    Counts[static_cast<std::size_t>(bucket)] += 1;
    Sum += value;
    Count += 1;
}

void TMetricsRegistry::Declare(const std::string& name, TType type, const std::string& help, std::vector<double> bounds)
{
    if (!std::is_sorted(bounds.begin(), bounds.end()) || (type == TType::Histogram) == bounds.empty())
        throw std::logic_error("metric " + name + ": bucket bounds only, and always, for a histogram");
    families_[name] = TFamily{type, help, std::move(bounds), {}, {}};
}

TMetricsRegistry::TFamily& TMetricsRegistry::Family(const std::string& name, TType type)
{
    const auto found = families_.find(name);
    if (found == families_.end() || found->second.Type != type)
        throw std::logic_error("metric " + name + " is not declared, or not as this type");
    return found->second;
}

double& TMetricsRegistry::Counter(const std::string& name, const TLabels& labels)
{
    return Family(name, TType::Counter).Values[labels];
}

double& TMetricsRegistry::Gauge(const std::string& name, const TLabels& labels)
{
    return Family(name, TType::Gauge).Values[labels];
}

TMetricsRegistry::THistogram& TMetricsRegistry::Histogram(const std::string& name, const TLabels& labels)
{
    TFamily& family = Family(name, TType::Histogram);
    const auto [item, made] = family.Histograms.try_emplace(labels);
    if (made)
        item->second = THistogram{family.Bounds, std::vector<double>(family.Bounds.size() + 1), 0, 0};
    return item->second;
}

std::string TMetricsRegistry::Render() const
{
    static constexpr const char* TypeNames[] = {"counter", "gauge", "histogram"};
    std::string out;
    for (const auto& [name, family] : families_) {
        out += "# HELP " + name + ' ' + EscapedHelp(family.Help) + '\n';
        out += "# TYPE " + name + ' ' + TypeNames[static_cast<int>(family.Type)] + '\n';
        for (const auto& [labels, value] : family.Values)
            out += name + LabelText(labels) + ' ' + Number(value) + '\n';
        for (const auto& [labels, histogram] : family.Histograms)
            RenderHistogram(out, name, labels, histogram);
    }
    return out;
}

namespace KivolMetrics {

void Declare(TMetricsRegistry& registry)
{
    using TType = TMetricsRegistry::TType;
    registry.Declare(Connections, TType::Gauge, "Open connections by transport.");
    registry.Declare(Tables, TType::Gauge, "Tables, the main table included.");
    registry.Declare(Players, TType::Gauge, "Roster entries at every table, connected or away.");
    registry.Declare(Watchers, TType::Gauge, "Watchers at every table.");
    registry.Declare(PacketsReceived, TType::Counter, "Packets received from clients.");
    registry.Declare(PacketsSent, TType::Counter, "Packets sent to clients.");
    registry.Declare(BytesSent, TType::Counter, "Bytes sent to clients.");
    registry.Declare(Refusals, TType::Counter, "Joins and connections refused, by reason.");
    registry.Declare(DroppedPackets, TType::Counter, "Packets dropped, by why.");
    registry.Declare(PacedSeconds, TType::Counter, "Seconds that sending to slow clients was held back.");
    registry.Declare(JudgeSeconds, TType::Histogram, "Time spent judging one hit, in seconds.",
                     {0.0001, 0.0005, 0.001, 0.005, 0.01, 0.05, 0.1, 0.5, 1});
    registry.Declare(Bans, TType::Gauge, "Bans in force.");
    registry.Declare(UptimeSeconds, TType::Gauge, "Seconds since the server started.");
    registry.Declare(GamesRunning, TType::Gauge, "Dealt games running.");
    registry.Declare(GamesTotal, TType::Counter, "Dealt games ended, by how (deck or stop).");
    registry.Declare(BotsPlaying, TType::Gauge, "Computer players at the tables.");
    registry.Declare(BotSolves, TType::Counter, "Solves the computer players asked for, one per field and target.");
    registry.Declare(BotSolvesDelayed, TType::Counter,
                     "Computer players' solves put off because the solving budget kept its rest for players.");
    registry.Declare(RecordsQueue, TType::Gauge, "Records waiting for the records' writer.");
    registry.Declare(RecordsWritten, TType::Counter, "Records written to the records' database.");
    registry.Declare(RecordsDropped, TType::Counter,
                     "Records lost: the writer's queue was full, or the write could never succeed.");
    registry.Declare(RecordsFailedWrites, TType::Counter, "Attempts to write records that failed and were retried.");
    registry.Declare(EventLoopLongestStall, TType::Gauge,
                     "The longest turn of the event loop since the metrics were last read, in seconds: the longest "
                     "that packets and timers waited for it.");
    // Series without labels are there from the start, at zero.
    for (const char* name : {Tables, Players, Watchers, Bans, UptimeSeconds})
        registry.Gauge(name);
    for (const char* name : {PacketsReceived, PacketsSent, BytesSent, PacedSeconds, BotSolves, BotSolvesDelayed})
        registry.Counter(name);
    registry.Histogram(JudgeSeconds);
}

}  // namespace KivolMetrics
