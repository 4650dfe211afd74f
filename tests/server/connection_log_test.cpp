// The connect and disconnect log lines with host names looked up off the
// event thread, and the operator log's bounds and accept failures.

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTextBlock>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "server_window_fixture.h"
#include "platform/socket_calls.h"
#include "server/connection_log.h"

using namespace std::chrono_literals;

namespace server_test {

namespace {

// A name service that answers only once the test opens it (or after ten
// seconds): each lookup until then takes as long as the test runs. It is
// shared with the lookup workers, which may outlive a test.
class SlowNameService {
public:
    AnsiString Answer(const AnsiString& name)
    {
        ++asked;
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, 10s, [this] { return open_; });
        ++answered;
        return name;
    }

    void Open()
    {
        {
            const std::lock_guard lock(mutex_);
            open_ = true;
        }
        cv_.notify_all();
    }

    std::atomic<int> asked{0};
    std::atomic<int> answered{0};

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool open_ = false;
};

// Addresses ending in ".1" wait for the slow service, ".3" fail, ".4" have no
// name; the others are answered at once as "host-<address>".
std::unique_ptr<THostNameLookup> MixedLookup(const std::shared_ptr<SlowNameService>& slow,
                                             std::chrono::milliseconds limit = THostNameLookup::DefaultLimit,
                                             std::chrono::milliseconds keep = THostNameLookup::DefaultKeep)
{
    return std::make_unique<THostNameLookup>(
        [slow](const AnsiString& address) -> AnsiString {
            if (address.ends_with(".1"))
                return slow->Answer("host-" + address);
            if (address.ends_with(".3"))
                throw std::runtime_error("name service failed");
            if (address.ends_with(".4"))
                return {};
            return "host-" + address;
        },
        limit, keep);
}

AnsiString Line(const char* utf8Word, const AnsiString& host, const AnsiString& address)
{
    return Cp932::FromUtf8(utf8Word) + host + "[" + address + "]";
}

class ConnectionLogTest : public ::testing::Test {
protected:
    ~ConnectionLogTest() override { slow->Open(); }

    std::shared_ptr<SlowNameService> slow = std::make_shared<SlowNameService>();
    std::vector<AnsiString> lines;
    TConnectionLog::LogFunction Collect()
    {
        return [this](const AnsiString& line) { lines.push_back(line); };
    }
    // Two distinct connection identities.
    int a = 0;
    int b = 0;
};

}  // namespace

TEST_F(ConnectionLogTest, LinesWaitForTheirNameInTheirConnectionsOrderWithoutHoldingUpOthers)
{
    TConnectionLog log(Collect(), MixedLookup(slow));
    log.Connected(&a, "10.0.0.1");
    log.Disconnected(&a, "10.0.0.1");
    log.Connected(&b, "10.0.0.2");
    ASSERT_TRUE(WaitUntil([&] { return lines.size() == 1; }));
    EXPECT_EQ(lines[0], Line("/接続  ", "host-10.0.0.2", "10.0.0.2")) << "not held up by the slow lookup";

    slow->Open();
    ASSERT_TRUE(WaitUntil([&] { return lines.size() == 3; }));
    EXPECT_EQ(lines[1], Line("/接続  ", "host-10.0.0.1", "10.0.0.1"));
    EXPECT_EQ(lines[2], Line("/切断  ", "host-10.0.0.1", "10.0.0.1"));

    // A connection whose name is known has its disconnect written at once.
    log.Disconnected(&b, "10.0.0.2");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3], Line("/切断  ", "host-10.0.0.2", "10.0.0.2"));
    EXPECT_EQ(slow->asked, 1) << "one lookup per connection";
}

TEST_F(ConnectionLogTest, ALookupThatFailsFindsNothingOrTakesTooLongGivesTheAddressAlone)
{
    TConnectionLog log(Collect(), MixedLookup(slow, 200ms));
    int c = 0;
    log.Connected(&a, "10.0.0.1");
    log.Connected(&b, "10.0.0.3");
    log.Connected(&c, "10.0.0.4");
    ASSERT_TRUE(WaitUntil([&] { return lines.size() == 3; }));
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<AnsiString>{Line("/接続  ", "", "10.0.0.1"), Line("/接続  ", "", "10.0.0.3"),
                                              Line("/接続  ", "", "10.0.0.4")}));

    // The late answer is dropped; the disconnect keeps the address alone.
    slow->Open();
    ASSERT_TRUE(WaitUntil([&] { return slow->answered == 1; }));
    test::PumpFor(50);
    EXPECT_EQ(lines.size(), 3u);
    log.Disconnected(&a, "10.0.0.1");
    EXPECT_EQ(lines.back(), Line("/切断  ", "", "10.0.0.1"));
}

TEST_F(ConnectionLogTest, ConnectionsFromOneAddressShareTheLookupUnderWayThenItsKeptAnswerUntilItRunsOut)
{
    TConnectionLog log(Collect(), MixedLookup(slow, THostNameLookup::DefaultLimit, 1s));
    int c = 0;
    log.Connected(&a, "10.0.0.1");
    log.Connected(&b, "10.0.0.1");
    log.Disconnected(&a, "10.0.0.1");
    log.Connected(&c, "10.0.0.1");
    ASSERT_TRUE(WaitUntil([&] { return slow->asked == 1; }));
    slow->Open();
    ASSERT_TRUE(WaitUntil([&] { return lines.size() == 4; }));
    EXPECT_EQ(slow->asked, 1) << "one lookup for the three connections";
    const AnsiString connect = Line("/接続  ", "host-10.0.0.1", "10.0.0.1");
    EXPECT_EQ(lines, (std::vector<AnsiString>{connect, Line("/切断  ", "host-10.0.0.1", "10.0.0.1"), connect, connect}))
        << "each connection's lines in its own order";

    int d = 0;
    log.Connected(&d, "10.0.0.1");
    EXPECT_EQ(lines.size(), 4u) << "a kept answer, too, comes from the event loop";
    ASSERT_TRUE(WaitUntil([&] { return lines.size() == 5; }));
    EXPECT_EQ(lines.back(), connect);
    EXPECT_EQ(slow->asked, 1) << "the answer is kept";

    std::this_thread::sleep_for(1s);
    int e = 0;
    log.Connected(&e, "10.0.0.1");
    ASSERT_TRUE(WaitUntil([&] { return lines.size() == 6; }));
    EXPECT_EQ(slow->asked, 2) << "an answer is kept no longer than its time";
}

TEST_F(ConnectionLogTest, OnlyTheNewestAnswersAreKept)
{
    std::atomic<int> asked{0};
    THostNameLookup lookup([&asked](const AnsiString& address) {
        ++asked;
        return "host-" + address;
    });
    const auto address = [](std::size_t i) {
        return "10." + std::to_string(i / 250) + "." + std::to_string(i % 250) + ".2";
    };
    // Asks for the addresses first to last, all at once, and waits for every answer.
    std::size_t answered = 0;
    const auto findAll = [&](std::size_t first, std::size_t last) {
        answered = 0;
        for (std::size_t i = first; i <= last; ++i)
            lookup.Find(address(i), [&answered, expected = "host-" + address(i)](const AnsiString& name) {
                EXPECT_EQ(name, expected);
                ++answered;
            });
        return WaitUntil([&] { return answered == last - first + 1; });
    };
    const std::size_t most = THostNameLookup::MostKept;
    ASSERT_TRUE(findAll(0, most - 1));
    ASSERT_EQ(asked, static_cast<int>(most));
    ASSERT_TRUE(findAll(most, most));
    ASSERT_TRUE(findAll(most, most));
    EXPECT_EQ(asked, static_cast<int>(most + 1)) << "the newest answer is kept";
    ASSERT_TRUE(findAll(0, most - 1));
    EXPECT_EQ(asked, static_cast<int>(most + 2)) << "exactly one answer, the oldest, was forgotten";
}

TEST_F(ConnectionLogTest, ADestroyedLogDropsTheAnswersStillOnTheirWay)
{
    {
        TConnectionLog log(Collect(), MixedLookup(slow));
        log.Connected(&a, "10.0.0.1");
        ASSERT_TRUE(WaitUntil([&] { return slow->asked == 1; }));
    }
    slow->Open();
    ASSERT_TRUE(WaitUntil([&] { return slow->answered == 1; }));
    test::PumpFor(50);
    EXPECT_TRUE(lines.empty());
}

class ServerWindowLogTest : public ServerWindowFixture {
protected:
    int LinesWith(const QString& text) const { return static_cast<int>(LogLines().filter(text).size()); }
};

TEST_F(ServerWindowLogTest, ANameLookupThatTakesSecondsDoesNotDelayOtherPlayersPackets)
{
    auto slow = std::make_shared<SlowNameService>();
    form.ConnectionLog.UseLookup(std::make_unique<THostNameLookup>(
        [slow](const AnsiString&) { return slow->Answer("slow.example"); }));
    auto a = JoinedPeer("AB      ");
    auto b = JoinedPeer("CD      ");
    for (auto packet = a->NextPacket(); packet; packet = a->NextPacket())
        if (packet->starts_with("/list "))
            break;  // the roster that answered b's join
    // Both come from 127.0.0.1: one lookup answers both.
    ASSERT_TRUE(WaitUntil([&] { return slow->asked == 1; }));

    // Every line reaches the other player within a few milliseconds while
    // the name lookup is still waiting for the name service.
    for (int i = 0; i < 200; ++i) {
        const std::string chat = Nul("AB      : line " + std::to_string(i));
        ASSERT_TRUE(a->SendPacket(chat));
        ASSERT_EQ(b->NextPacket(50), chat) << "line " << i;
        ASSERT_EQ(a->NextPacket(50), chat) << "line " << i;
    }
    EXPECT_EQ(slow->answered, 0);
    EXPECT_EQ(LinesWith(QStringLiteral("/接続")), 0);
    EXPECT_EQ(LinesWith(QStringLiteral("/参加")), 2) << "other log lines are not held back";

    slow->Open();
    ASSERT_TRUE(WaitUntil([&] { return LinesWith(QStringLiteral("/接続  slow.example[127.0.0.1]")) == 2; }));
    b.reset();
    ASSERT_TRUE(WaitUntil([&] { return LinesWith(QStringLiteral("/切断  slow.example[127.0.0.1]")) == 1; }));
}

TEST_F(ServerWindowLogTest, TheLogKeepsTheNewestLinesOnly)
{
    const int extra = 5;
    for (int i = 0; i < TForm1::MaxLogLines + extra; ++i)
        form.AddLog("line " + std::to_string(i));
    EXPECT_EQ(form.mmLog->document()->blockCount(), TForm1::MaxLogLines);
    EXPECT_TRUE(form.mmLog->document()->firstBlock().text().endsWith(QStringLiteral("  line 5")));
    EXPECT_TRUE(form.mmLog->document()->lastBlock().text().endsWith(
        QStringLiteral("  line %1").arg(TForm1::MaxLogLines + extra - 1)));
}

// Headless, nobody sees the window: a line goes to standard output and no
// text document holds it.
TEST_F(ServerWindowLogTest, AHeadlessServerLogsToStandardOutputOnly)
{
    Application.Headless = true;
    testing::internal::CaptureStdout();
    form.AddLog("headless line");
    const std::string printed = testing::internal::GetCapturedStdout();
    Application.Headless = false;
    EXPECT_NE(printed.find("  headless line\n"), std::string::npos);
    EXPECT_FALSE(form.mmLog->toPlainText().contains(QStringLiteral("headless line")));
}

namespace {
int NoFileHandlesLeft(int, sockaddr*, socklen_t*, int)
{
    errno = EMFILE;
    return -1;
}
}  // namespace

TEST_F(ServerWindowLogTest, AnAcceptFailureIsLoggedOnceAndNeverShownInABox)
{
    {
        ScopedSocketCalls calls{{::send, ::recv, NoFileHandlesLeft}};
        LoopbackPeer waiting(port);
        ASSERT_TRUE(WaitUntil([&] { return LinesWith(QStringLiteral("/エラー")) == 1; }));
        EXPECT_TRUE(LogLines().last().contains(QStringLiteral("[API 'accept']"))) << LogLines().last().toStdString();
        test::PumpFor(250);  // two more pauses run out and fail again
        EXPECT_EQ(LinesWith(QStringLiteral("/エラー")), 1);
    }
    EXPECT_TRUE(messageBoxes.empty());
}

}  // namespace server_test
