// The metrics as Prometheus reads them: the rendered text goes through the
// text parser of Python's prometheus_client, and what it makes of it is
// compared with what was counted.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <thread>
#include <cmath>
#include <map>
#include <stdexcept>

#include "server/event_loop_stalls.h"
#include "server/metrics.h"

namespace {

const char* const ParseScript = R"(
import json, sys
from prometheus_client.parser import text_string_to_metric_families
families = {}
for family in text_string_to_metric_families(sys.stdin.read()):
    families[family.name] = {"type": family.type, "help": family.documentation,
                             "samples": [[s.name, s.labels, s.value] for s in family.samples]}
print(json.dumps(families))
)";

// The families the parser reads from text, by name; fails the test when it
// cannot read them.
QJsonObject Parse(const std::string& text)
{
    QProcess python;
    // Debian's Python, which python3-prometheus-client installs into.
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(ParseScript)});
    python.write(QByteArray::fromStdString(text));
    python.closeWriteChannel();
    EXPECT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

// The value of the sample with that name and those labels; NaN when absent.
double Sample(const QJsonObject& families, const QString& family, const QString& name, const QJsonObject& labels = {})
{
    for (const QJsonValue& sample : families.value(family).toObject().value(u"samples").toArray()) {
        const QJsonArray fields = sample.toArray();
        if (fields[0].toString() == name && fields[1].toObject() == labels)
            return fields[2].toDouble();
    }
    return std::nan("");
}

TEST(MetricsTest, PrometheusReadsEverySeriesAsCounted)
{
    TMetricsRegistry registry;
    KivolMetrics::Declare(registry);
    registry.Gauge(KivolMetrics::Connections, {{"transport", "tcp"}}) = 7;
    registry.Gauge(KivolMetrics::Connections, {{"transport", "websocket"}}) = 2;
    double& received = registry.Counter(KivolMetrics::PacketsReceived);
    received += 41;
    received += 1;
    registry.Counter(KivolMetrics::Refusals, {{"reason", "banned"}}) += 3;
    registry.Counter(KivolMetrics::DroppedPackets, {{"why", "odd \"name\"\\\nline"}}) += 1;
    registry.Gauge(KivolMetrics::UptimeSeconds) = 12.5;
    TMetricsRegistry::THistogram& judge = registry.Histogram(KivolMetrics::JudgeSeconds);
    for (double seconds : {0.00005, 0.0001, 0.003, 0.003, 2.0})
        judge.Observe(seconds);

    const QJsonObject families = Parse(registry.Render());
    const std::map<QString, QString> types{
        {"kivol_connections", "gauge"}, {"kivol_tables", "gauge"}, {"kivol_players", "gauge"},
        {"kivol_watchers", "gauge"}, {"kivol_packets_received", "counter"}, {"kivol_packets_sent", "counter"},
        {"kivol_bytes_sent", "counter"}, {"kivol_refusals", "counter"}, {"kivol_dropped_packets", "counter"},
        {"kivol_paced_seconds", "counter"}, {"kivol_judge_seconds", "histogram"}, {"kivol_bans", "gauge"},
        {"kivol_uptime_seconds", "gauge"}, {"kivol_games_running", "gauge"}, {"kivol_games", "counter"},
        {"kivol_bots", "gauge"}, {"kivol_bot_solves", "counter"}, {"kivol_bot_solves_delayed", "counter"},
        {"kivol_records_queue", "gauge"}, {"kivol_records_written", "counter"}, {"kivol_records_dropped", "counter"},
        {"kivol_records_failed_writes", "counter"}, {"kivol_event_loop_longest_stall_seconds", "gauge"}};
    EXPECT_EQ(families.size(), static_cast<qsizetype>(types.size()));
    for (const auto& [name, type] : types) {
        EXPECT_EQ(families.value(name).toObject().value(u"type").toString(), type) << name.toStdString();
        EXPECT_FALSE(families.value(name).toObject().value(u"help").toString().isEmpty()) << name.toStdString();
    }
    EXPECT_EQ(Sample(families, "kivol_connections", "kivol_connections", {{"transport", "websocket"}}), 2);
    EXPECT_EQ(Sample(families, "kivol_packets_received", "kivol_packets_received_total"), 42);
    EXPECT_EQ(Sample(families, "kivol_packets_sent", "kivol_packets_sent_total"), 0);
    EXPECT_EQ(Sample(families, "kivol_refusals", "kivol_refusals_total", {{"reason", "banned"}}), 3);
    EXPECT_EQ(Sample(families, "kivol_dropped_packets", "kivol_dropped_packets_total", {{"why", "odd \"name\"\\\nline"}}), 1);
    EXPECT_EQ(Sample(families, "kivol_uptime_seconds", "kivol_uptime_seconds"), 12.5);
    // Buckets count every observation up to their bound, an equal one included.
    const QString histogram = QStringLiteral("kivol_judge_seconds");
    EXPECT_EQ(Sample(families, histogram, "kivol_judge_seconds_bucket", {{"le", "0.0001"}}), 2);
    EXPECT_EQ(Sample(families, histogram, "kivol_judge_seconds_bucket", {{"le", "0.005"}}), 4);
    EXPECT_EQ(Sample(families, histogram, "kivol_judge_seconds_bucket", {{"le", "1"}}), 4);
    EXPECT_EQ(Sample(families, histogram, "kivol_judge_seconds_bucket", {{"le", "+Inf"}}), 5);
    EXPECT_EQ(Sample(families, histogram, "kivol_judge_seconds_count"), 5);
    EXPECT_NEAR(Sample(families, histogram, "kivol_judge_seconds_sum"), 2.00615, 1e-12);

    EXPECT_THROW(registry.Gauge(KivolMetrics::PacketsSent), std::logic_error);
    EXPECT_THROW(registry.Counter("kivol_undeclared_total"), std::logic_error);
}

// A turn of the event loop that keeps it busy is the longest stall until
// it has been read; the reading starts counting anew.
TEST(MetricsTest, TheLongestStallIsTheLongestTurnOfTheEventLoopSinceTheLastReading)
{
    TEventLoopStalls stalls;
    bool done = false;
    QTimer::singleShot(0, [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        done = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
    // The turn ends when the loop next waits or turns: let it.
    QTest::qWait(20);
    const double longest = stalls.TakeLongestSeconds();
    EXPECT_GE(longest, 0.040);
    EXPECT_LT(stalls.TakeLongestSeconds(), longest) << "read once, counted anew";
}

}  // namespace
