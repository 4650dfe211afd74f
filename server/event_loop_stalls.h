#pragma once

#include <QMetaObject>
#include <chrono>

// The longest turn of this thread's event loop: from its waking (or from
// the start of a turn that follows another without waiting) until it is
// about to wait again or starts its next turn. Every packet and timer waits
// for the turn in progress, so the longest turn is the longest the loop kept
// everything else waiting: its longest stall.
class TEventLoopStalls {
public:
    // Watches the event loop of the thread that makes the object.
    TEventLoopStalls();
    ~TEventLoopStalls();
    TEventLoopStalls(const TEventLoopStalls&) = delete;
    TEventLoopStalls& operator=(const TEventLoopStalls&) = delete;

    // The longest finished turn since the last call, in seconds; starts counting anew.
    double TakeLongestSeconds();

private:
    using TClock = std::chrono::steady_clock;

    void Awake();
    void AboutToBlock();
    void EndTurn(TClock::time_point now);

    QMetaObject::Connection awake_, aboutToBlock_;
    bool inTurn_ = false;
    TClock::time_point turnStart_{};
    TClock::duration longest_{};
};
