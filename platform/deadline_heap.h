#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// One deadline as the heap keeps it: the heap stores pointers to entries and
// each entry knows its place, so that starting, moving and cancelling one is
// O(log n) without a search. Entries due at the same moment come out in the
// order they were placed.
struct TDeadlineEntry {
    static constexpr std::size_t NotPlaced = static_cast<std::size_t>(-1);

    std::chrono::steady_clock::time_point When{};
    std::uint64_t Order = 0;
    std::size_t Index = NotPlaced;

    bool Placed() const { return Index != NotPlaced; }
};

// A binary min-heap of deadlines ordered by (When, Order).
class TDeadlineHeap {
public:
    using Clock = std::chrono::steady_clock;

    // Starts entry at when, or moves it there if it is placed already.
    void Place(TDeadlineEntry& entry, Clock::time_point when);
    // Takes entry out; nothing happens when it is not placed.
    void Remove(TDeadlineEntry& entry);
    // The earliest entry, or null when the heap is empty.
    TDeadlineEntry* Earliest() const { return heap_.empty() ? nullptr : heap_.front(); }
    // Takes out and returns the earliest entry due at now, or null.
    TDeadlineEntry* TakeDue(Clock::time_point now);
    std::size_t Size() const { return heap_.size(); }

private:
    static bool Before(const TDeadlineEntry* a, const TDeadlineEntry* b);
    void Set(std::size_t index, TDeadlineEntry* entry);
    void SiftUp(std::size_t index);
    void SiftDown(std::size_t index);

    std::vector<TDeadlineEntry*> heap_;
    std::uint64_t nextOrder_ = 0;
};

// An action to run at a time, on the thread that started it, from its event
// loop. Every deadline of a thread sits in that thread's one heap, served by a
// single Qt timer set to the earliest, so that thousands of pending deadlines
// cost the event loop one timer. A deadline is cancelled when destroyed; it
// must be destroyed on the thread that started it. Deadlines fire no earlier
// than their time, the earliest first, those due together in the order they
// were started.
class TDeadline : private TDeadlineEntry {
public:
    using Clock = std::chrono::steady_clock;

    explicit TDeadline(std::function<void()> action = {});
    ~TDeadline();
    TDeadline(const TDeadline&) = delete;
    TDeadline& operator=(const TDeadline&) = delete;

    void SetAction(std::function<void()> action) { action_ = std::move(action); }
    // Starts (or moves) the deadline to after from now.
    void Start(std::chrono::milliseconds after) { StartAt(Clock::now() + after); }
    void StartAt(Clock::time_point when);
    void Cancel();
    bool Pending() const { return Placed(); }
    Clock::time_point When() const { return TDeadlineEntry::When; }

    // The deadlines pending on this thread.
    static std::size_t PendingOnThisThread();

private:
    friend class TThreadDeadlines;

    std::function<void()> action_;
    class TThreadDeadlines* thread_ = nullptr;
};
