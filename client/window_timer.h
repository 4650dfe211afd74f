#pragma once

#include <QTimer>
#include <functional>

// A window timer: while enabled it raises OnTimer every Interval milliseconds,
// counted from the moment it was last enabled, so disabling and enabling it
// again starts the count anew.
//
// It counts on the event loop's clock, or, once UseManualClock() was called,
// on a clock that only Advance() moves: tests make time pass without waiting.
class TTimer {
public:
    explicit TTimer(int interval);

    int Interval() const { return interval_; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);

    std::function<void()> OnTimer;

    void UseManualClock();
    // Moves the manual clock on, raising OnTimer at each expiry passed.
    void Advance(int milliseconds);

private:
    void Expired();

    const int interval_;
    bool enabled_ = false;
    QTimer timer_;
    bool manual_ = false;
    qint64 now_ = 0;
    qint64 due_ = 0;
};
