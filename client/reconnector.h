#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <functional>

// Brings a dropped connection back: the first attempt 1 s after the drop, then
// after waits of 2, 4, 8 and 16 s, then every 30 s, for as long as the
// server keeps the player's place (its grace period, counted from the drop;
// 0 keeps it for ever). An attempt due after the grace period is not made:
// the reconnector gives up instead, from the Start or AttemptFailed that
// would have scheduled it.
//
// It counts on the event loop's clock, or, once UseManualClock() was called,
// on a clock that only Advance() moves, so tests never wait for real.
class TReconnector {
public:
    TReconnector();

    // The connection dropped: schedules the first attempt.
    void Start(int graceSeconds);
    // The attempt made failed (or its connection dropped before the server
    // took the player back): schedules the next one, or gives up.
    void AttemptFailed();
    // The player is back, or asked to stop.
    void Stop();

    bool Active() const { return active_; }
    // No attempt was left within the grace period (until the next Start or Stop).
    bool GaveUp() const { return gaveUp_; }
    // While waiting: true, with the wait before the next attempt in seconds.
    bool Waiting() const { return waiting_; }
    int WaitSeconds() const { return waitSeconds_; }
    // The number of the attempt that is pending or under way, from 1.
    int Attempt() const { return attempt_; }

    // Makes an attempt; called from the event loop, never from Start or
    // AttemptFailed themselves.
    std::function<void()> OnAttempt;

    void UseManualClock();
    void Advance(int milliseconds);

private:
    void Schedule();
    void Due();
    qint64 Now() const;

    bool active_ = false;
    bool gaveUp_ = false;
    bool waiting_ = false;
    int attempt_ = 0;
    int waitSeconds_ = 0;
    qint64 graceEndsMs_ = 0;  // 0: no end
    qint64 dueMs_ = 0;
    QTimer timer_;
    QElapsedTimer clock_;
    bool manual_ = false;
    qint64 manualNow_ = 0;
};
