// The deadlines of a thread: the heap checked against a plain ordered set on
// random sequences (a clock of the test's own), and the thread's deadlines on
// the event loop, where thousands of suspended sockets share one Qt timer.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QTest>
#include <memory>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "platform/custom_win_socket.h"
#include "platform/deadline_heap.h"
#include "watched_socket_end.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The Qt timers registered on this thread, found by asking the dispatcher
// about every timer id in use so far.
int QtTimersOfThisThread()
{
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    int count = 0;
    for (int id = 1; id < 1 << 16; ++id)
        if (dispatcher->remainingTime(id) >= 0)
            ++count;
    return count;
}

}  // namespace

// Random starts, moves, cancels and expiries: after every step the heap's
// earliest entry, its size and which entries are placed agree with a set
// ordered by (time, order of placing), and entries come out due and in order.
TEST(DeadlineHeap, AgreesWithAnOrderedSetOnRandomSequences)
{
    std::mt19937 random(28);
    for (int round = 0; round < 20; ++round) {
        TDeadlineHeap heap;
        std::vector<TDeadlineEntry> entries(40);
        // (when, sequence, entry index); sequence mirrors the order of placing.
        std::set<std::tuple<Clock::time_point, std::uint64_t, std::size_t>> reference;
        std::vector<std::uint64_t> sequenceOf(entries.size());
        std::uint64_t sequence = 0;
        Clock::time_point now{};
        const auto forget = [&](std::size_t i) {
            if (entries[i].Placed())
                reference.erase({entries[i].When, sequenceOf[i], i});
        };
        for (int step = 0; step < 2000; ++step) {
            const std::size_t i = random() % entries.size();
            switch (random() % 4) {
            case 0:
            case 1: {  // start or move, often to a time another entry has
                const auto when = now + milliseconds(random() % 8 * 5);
                forget(i);
                heap.Place(entries[i], when);
                sequenceOf[i] = sequence++;
                reference.insert({when, sequenceOf[i], i});
                break;
            }
            case 2:
                forget(i);
                heap.Remove(entries[i]);
                break;
            default:
                now += milliseconds(random() % 12);
                while (TDeadlineEntry* due = heap.TakeDue(now)) {
                    ASSERT_FALSE(reference.empty());
                    const auto [when, seq, index] = *reference.begin();
                    ASSERT_LE(when, now);
                    ASSERT_EQ(due, &entries[index]);
                    ASSERT_FALSE(due->Placed());
                    reference.erase(reference.begin());
                }
                ASSERT_TRUE(reference.empty() || std::get<0>(*reference.begin()) > now);
            }
            ASSERT_EQ(heap.Size(), reference.size());
            if (reference.empty())
                ASSERT_EQ(heap.Earliest(), nullptr);
            else
                ASSERT_EQ(heap.Earliest(), &entries[std::get<2>(*reference.begin())]);
            for (std::size_t k = 0; k < entries.size(); ++k)
                ASSERT_EQ(entries[k].Placed(), reference.count({entries[k].When, sequenceOf[k], k}) == 1);
        }
    }
}

// On the event loop: earlier deadlines first, those due together in the
// order they were started, a cancelled or destroyed one never; an action may
// destroy its own deadline and another's.
TEST(Deadline, FiresInOrderAndSurvivesActionsThatDestroyDeadlines)
{
    std::vector<int> fired;
    auto later = std::make_unique<TDeadline>([&] { fired.push_back(4); });
    auto cancelled = std::make_unique<TDeadline>([&] { fired.push_back(0); });
    auto destroyed = std::make_unique<TDeadline>([&] { fired.push_back(0); });
    std::unique_ptr<TDeadline> selfDestroying;
    selfDestroying = std::make_unique<TDeadline>([&] {
        fired.push_back(2);
        selfDestroying.reset();
        destroyed.reset();
    });
    TDeadline first([&] { fired.push_back(1); });
    TDeadline tied([&] { fired.push_back(3); });

    const auto base = Clock::now() + milliseconds(20);
    later->StartAt(base + milliseconds(30));
    destroyed->StartAt(base + milliseconds(20));
    selfDestroying->StartAt(base + milliseconds(10));
    tied.StartAt(base + milliseconds(10));
    cancelled->StartAt(base);
    first.StartAt(base + milliseconds(40));
    first.StartAt(base);  // moved earlier
    cancelled->Cancel();

    EXPECT_TRUE(QTest::qWaitFor([&] { return fired.size() >= 4; }, 5000));
    EXPECT_EQ(fired, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_FALSE(first.Pending());
    EXPECT_EQ(TDeadline::PendingOnThisThread(), 0u);
}

// Thousands of connections held back at once: their holds are deadlines in
// the thread's heap, not Qt timers, and each ends with its socket read.
TEST(Deadline, ThousandsOfPacingHoldsCostNoQtTimers)
{
    constexpr int Sockets = 2000;
    const int timersBefore = QtTimersOfThisThread();
    std::vector<std::unique_ptr<WatchedEnd>> ends;
    for (int i = 0; i < Sockets; ++i) {
        ends.push_back(std::make_unique<WatchedEnd>());
        ends.back()->SuspendReadWatch(200);
        ASSERT_EQ(::write(ends.back()->peer, "x", 1), 1);
    }
    EXPECT_EQ(TDeadline::PendingOnThisThread(), static_cast<std::size_t>(Sockets));
    // Exactly one: the thread's deadline timer, now set.
    EXPECT_EQ(QtTimersOfThisThread(), timersBefore + 1);
    const auto all = [&] {
        for (const auto& end : ends)
            if (end->bytes != 1)
                return false;
        return true;
    };
    EXPECT_TRUE(QTest::qWaitFor(all, 10000));
    EXPECT_EQ(TDeadline::PendingOnThisThread(), 0u);
}
