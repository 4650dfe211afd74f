#pragma once

#include <QMetaObject>
#include <QObject>
#include <chrono>

// The longest turn of the main thread's event loop: from the first event it
// handles after waking until it is about to wait again or starts its next
// turn. Every packet and timer waits for the turn in progress, so the
// longest turn is the longest the loop kept everything else waiting: its
// longest stall. (Qt's own dispatchers say when the loop is about to wait
// and when a turn begins, not when a wait ends: the first event after a wait
// marks that, seen through an application-wide event filter. The epoll
// dispatcher of a headless server says awake when its wait ends, and
// delivers socket readiness without events, so there awake starts the turn.)
class TEventLoopStalls : public QObject {
public:
    // Call on the main thread, once the application object exists.
    TEventLoopStalls();
    ~TEventLoopStalls() override;

    // The longest finished turn since the last call, in seconds; starts counting anew.
    double TakeLongestSeconds();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using TClock = std::chrono::steady_clock;

    void EndTurn();
    void StartTurn();

    QMetaObject::Connection awake_, aboutToBlock_;
    bool inTurn_ = false;
    TClock::time_point turnStart_{};
    TClock::duration longest_{};
};
