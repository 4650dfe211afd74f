// The epoll dispatcher against Qt's own on the same scenarios (timers fired,
// killed and restarted from their events, nested loops, events posted from
// other threads), and what only it does: Qt's socket notifiers and the
// socket layer's watches served by one epoll handle.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/epoll_event_dispatcher.h"
#include "platform/socket_reactor.h"
#include "watched_socket_end.h"

namespace {

enum class Dispatcher { Qt, Epoll };

// Runs start on a thread of its own whose event loop is the given
// dispatcher's, until something calls quit on that thread, then finish on
// that thread; false when the loop has not ended within the limit.
bool RunOnLoopThread(Dispatcher dispatcher, const std::function<void()>& start,
                     const std::function<void()>& finish = {}, int limitMs = 20000)
{
    std::unique_ptr<QThread> thread(QThread::create([&] {
        start();
        QEventLoop loop;
        loop.exec();
        if (finish)
            finish();
    }));
    if (dispatcher == Dispatcher::Epoll)
        thread->setEventDispatcher(new TEpollEventDispatcher);
    thread->start();
    if (thread->wait(QDeadlineTimer(limitMs)))
        return true;
    thread->quit();
    thread->wait();
    return false;
}

void QuitThisThread()
{
    QThread::currentThread()->quit();
}

// The scenario's times are multiples of this many milliseconds, far enough
// apart that a busy machine does not reorder them.
constexpr int Unit = 2;

// Timers of one scenario, each named in the trace when it fires; a single
// shot fired before its time is named in Early too.
class TimerScenario {
public:
    TimerScenario() { clock_.start(); }

    void SingleShot(int ms, const std::string& name, std::function<void()> then = {})
    {
        const qint64 due = clock_.elapsed() + ms * Unit;
        QTimer::singleShot(ms * Unit, Qt::PreciseTimer, [this, due, name, then = std::move(then)] {
            Trace.push_back(name);
            if (clock_.elapsed() < due)
                Early.push_back(name);
            if (then)
                then();
        });
    }

    // A repeating timer named with its count at each firing; each is told
    // the timer and the count.
    QTimer& Repeating(int ms, const std::string& name, std::function<void(QTimer&, int)> each)
    {
        auto& timer = timers_.emplace_back(std::make_unique<QTimer>());
        QTimer& t = *timer;
        t.setTimerType(Qt::PreciseTimer);
        QObject::connect(&t, &QTimer::timeout, [this, &t, name, each = std::move(each), count = 0]() mutable {
            ++count;
            Trace.push_back(name + std::to_string(count));
            each(t, count);
        });
        t.start(ms * Unit);
        return t;
    }

    std::vector<std::string> Trace;
    std::vector<std::string> Early;

private:
    QElapsedTimer clock_;
    std::vector<std::unique_ptr<QTimer>> timers_;
};

// A posted call that starts a zero-interval timer, a repeating timer that
// stops itself, one whose first event runs a nested loop (it does not fire
// again until that returns; others do), a single shot stopped before its
// time, another restarted later from a third's event: the names in the
// order they fired, and those fired early.
std::vector<std::string> RunTimerScenario(Dispatcher dispatcher, std::vector<std::string>& early)
{
    std::unique_ptr<TimerScenario> scenario;
    std::vector<std::string> trace;
    const bool ended = RunOnLoopThread(
        dispatcher,
        [&] {
            scenario = std::make_unique<TimerScenario>();
            TimerScenario& s = *scenario;
            QMetaObject::invokeMethod(QAbstractEventDispatcher::instance(), [&s] {
                s.Trace.push_back("posted");
                s.Repeating(0, "idle", [](QTimer& t, int count) {
                    if (count == 3)
                        t.stop();
                });
            }, Qt::QueuedConnection);
            s.Repeating(100, "nest", [&s](QTimer& t, int count) {
                if (count == 2) {
                    t.stop();
                    return;
                }
                QEventLoop nested;
                s.SingleShot(230, "inner", [&nested] { nested.quit(); });
                nested.exec();
                s.Trace.push_back("nest-returned");
            });
            s.Repeating(200, "repeat", [](QTimer& t, int count) {
                if (count == 3)
                    t.stop();
            });
            QTimer& killed = s.Repeating(500, "never", [](QTimer&, int) {});
            s.SingleShot(450, "kill", [&killed] { killed.stop(); });
            QTimer& restarted = s.Repeating(520, "restarted", [](QTimer& t, int) { t.stop(); });
            s.SingleShot(480, "restart", [&restarted] { restarted.start(170 * Unit); });
            s.SingleShot(800, "end", [] { QuitThisThread(); });
        },
        [&] {
            trace = scenario->Trace;
            early = scenario->Early;
            scenario.reset();
        });
    EXPECT_TRUE(ended);
    return trace;
}

}  // namespace

TEST(EpollEventDispatcher, FiresTimersAsQtsOwnDispatcherDoesAndNeverEarly)
{
    std::vector<std::string> earlyQt, earlyEpoll;
    const auto qt = RunTimerScenario(Dispatcher::Qt, earlyQt);
    const auto epoll = RunTimerScenario(Dispatcher::Epoll, earlyEpoll);
    const std::vector<std::string> expected{"posted", "idle1",   "idle2", "idle3",   "nest1",   "repeat1",
                                            "inner",  "nest-returned", "nest2", "repeat2", "kill", "restart",
                                            "repeat3", "restarted1", "end"};
    EXPECT_EQ(qt, expected);
    EXPECT_EQ(epoll, expected);
    EXPECT_TRUE(earlyEpoll.empty());
}

// Four threads post thousands of calls to a loop that sleeps between them:
// every call arrives, each thread's in the order it posted them, under both
// dispatchers (a lost wake-up would leave the loop asleep with calls queued).
TEST(EpollEventDispatcher, CallsPostedFromOtherThreadsAllArriveInOrder)
{
    constexpr int Threads = 4;
    constexpr int CallsEach = 3000;
    for (const Dispatcher dispatcher : {Dispatcher::Qt, Dispatcher::Epoll}) {
        std::vector<int> last(Threads, -1);
        int outOfOrder = 0;
        int arrived = 0;
        std::atomic<QObject*> receiver{nullptr};
        std::vector<std::thread> posters;
        const bool ended = RunOnLoopThread(dispatcher, [&] {
            receiver = new QObject;
            for (int t = 0; t < Threads; ++t)
                posters.emplace_back([&, t] {
                    std::mt19937 random(t);
                    for (int i = 0; i < CallsEach; ++i) {
                        QMetaObject::invokeMethod(receiver.load(), [&, t, i] {
                            outOfOrder += i != last[t] + 1;
                            last[t] = i;
                            if (++arrived == Threads * CallsEach) {
                                receiver.load()->deleteLater();
                                QuitThisThread();
                            }
                        }, Qt::QueuedConnection);
                        // Now and then let the loop catch up and fall asleep.
                        if (random() % 64 == 0)
                            std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
                    }
                });
        });
        for (auto& poster : posters)
            poster.join();
        EXPECT_TRUE(ended);
        EXPECT_EQ(arrived, Threads * CallsEach);
        EXPECT_EQ(outOfOrder, 0);
    }
}

namespace {

// Both ends of a socket pair, closed at the end.
struct SocketPair {
    SocketPair()
    {
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends), 0);
    }
    ~SocketPair()
    {
        ::close(ends[0]);
        ::close(ends[1]);
    }
    int ends[2]{-1, -1};
};

std::string Drain(int handle)
{
    std::string bytes;
    char buffer[64];
    for (ssize_t n; (n = ::read(handle, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, static_cast<std::size_t>(n));
    return bytes;
}

}  // namespace

// Qt's notifiers and the socket layer's watches on one epoll loop: a write
// notifier switches itself off at its first activation and sends bytes back
// to its handle, whose read notifier takes them and deletes both, then pokes
// a watched socket of the socket layer: each served once.
TEST(EpollEventDispatcher, ServesQtsSocketNotifiersBesideTheSocketLayersWatches)
{
    SocketPair pair;
    std::string readByNotifier;
    int writeActivations = 0;
    int watchedBytes = 0;
    std::unique_ptr<WatchedEnd> watched;
    const bool ended = RunOnLoopThread(
        Dispatcher::Epoll,
        [&] {
            auto* read = new QSocketNotifier(pair.ends[0], QSocketNotifier::Read);
            auto* write = new QSocketNotifier(pair.ends[0], QSocketNotifier::Write);
            watched = std::make_unique<WatchedEnd>();
            QObject::connect(write, &QSocketNotifier::activated, [&, write] {
                ++writeActivations;
                write->setEnabled(false);
                ASSERT_EQ(::write(pair.ends[1], "notifier", 8), 8);
            });
            QObject::connect(read, &QSocketNotifier::activated, [&, read, write] {
                readByNotifier += Drain(pair.ends[0]);
                if (readByNotifier != "notifier")
                    return;
                delete read;
                delete write;
                watched->Poke();
            });
            watched->OnSocketEvent = [&](TObject*, TCustomWinSocket*, TSocketEvent event) {
                if (event != seRead)
                    return;
                char buffer[8];
                watchedBytes += watched->ReceiveBuf(buffer, sizeof buffer);
                QuitThisThread();
            };
        },
        [&] { watched.reset(); });
    EXPECT_TRUE(ended);
    EXPECT_EQ(readByNotifier, "notifier");
    EXPECT_EQ(writeActivations, 1);
    EXPECT_EQ(watchedBytes, 1);
}

// Processing without socket notifiers waits for timers and posted events
// only; the readable socket is served by the next full round.
TEST(EpollEventDispatcher, ExcludingSocketNotifiersLeavesAReadableSocketForLater)
{
    SocketPair pair;
    int activations = 0;
    bool timerFired = false;
    int activationsAfterExcludedRound = -1;
    const bool ended = RunOnLoopThread(Dispatcher::Epoll, [&] {
        auto* notifier = new QSocketNotifier(pair.ends[0], QSocketNotifier::Read);
        QObject::connect(notifier, &QSocketNotifier::activated, [&, notifier] {
            ++activations;
            Drain(pair.ends[0]);
            delete notifier;
            QuitThisThread();
        });
        ASSERT_EQ(::write(pair.ends[1], "x", 1), 1);
        QTimer::singleShot(20, [&] { timerFired = true; });
        QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
        while (!timerFired)
            dispatcher->processEvents(QEventLoop::ExcludeSocketNotifiers | QEventLoop::WaitForMoreEvents);
        activationsAfterExcludedRound = activations;
    });
    EXPECT_TRUE(ended);
    EXPECT_EQ(activationsAfterExcludedRound, 0);
    EXPECT_EQ(activations, 1);
}

// A thread whose sockets were watched before the dispatcher took its loop
// would have the reactor's own notifier inside its epoll handle: refused.
TEST(EpollEventDispatcher, TakingALoopWhoseSocketsAreAlreadyWatchedIsRefused)
{
    bool refused = false;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        SocketPair pair;
        struct : TSocketWatcher {
            void Readable() override {}
            void Writable() override {}
        } watcher;
        TSocketWatch watch(pair.ends[0], watcher);
        try {
            WaitForSocketsInThisThreadsLoop();
        } catch (const std::logic_error&) {
            refused = true;
        }
    }));
    thread->start();
    ASSERT_TRUE(thread->wait(QDeadlineTimer(10000)));
    EXPECT_TRUE(refused);
}
