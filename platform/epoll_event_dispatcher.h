#pragma once

#include <QAbstractEventDispatcher>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <unordered_map>

#include "platform/deadline_heap.h"

// A Qt event dispatcher for a thread without windows that sleeps in the
// socket reactor's epoll handle: the sockets of the socket layer, Qt's own
// socket notifiers (listeners, the web port, the control socket) and the
// wake-ups of other threads all sit in that one handle, so that a wake-up is
// one epoll_wait, whatever is open. Qt's timers are kept in a heap of
// deadlines; the wait ends at the earliest.
//
// Install it before the thread's event loop exists (QCoreApplication::
// setEventDispatcher before the application object, QThread::
// setEventDispatcher before start). It delivers no window-system events:
// a thread that shows windows keeps the platform's dispatcher.
//
// Timers fire no earlier than their time; every timer type is kept to the
// millisecond. A timer whose event is being delivered does not fire again in
// a nested loop until that delivery returns (as Qt's own dispatchers do).
// Exception notifiers are not supported (Qt's sockets use none on Linux).
class TEpollEventDispatcher : public QAbstractEventDispatcher {
public:
    TEpollEventDispatcher();
    ~TEpollEventDispatcher() override;

    bool processEvents(QEventLoop::ProcessEventsFlags flags) override;
    void registerSocketNotifier(QSocketNotifier* notifier) override;
    void unregisterSocketNotifier(QSocketNotifier* notifier) override;
    void registerTimer(int timerId, qint64 interval, Qt::TimerType timerType, QObject* object) override;
    bool unregisterTimer(int timerId) override;
    bool unregisterTimers(QObject* object) override;
    QList<TimerInfo> registeredTimers(QObject* object) const override;
    int remainingTime(int timerId) override;
    void wakeUp() override;
    void interrupt() override;
    void startingUp() override;
    void closingDown() override;

    // Whether the event loop of the calling thread is one of these: its
    // awake() then comes when a wait has ended, before the turn's work.
    static bool RunsThisThread();

private:
    using Clock = std::chrono::steady_clock;
    struct Timer;
    class NotifierSet;
    class WakeUpHandle;

    static int MillisecondsUntil(Clock::time_point when);
    int ActivateTimers();
    // The timer of that registration when it still exists and is out of
    // the heap (its event was being delivered), else null.
    Timer* WaitingToBePlaced(int id, std::uint64_t serial);
    int MillisecondsToEarliestTimer() const;
    int WaitForWakeUpOnly(int timeoutMs);

    std::unique_ptr<WakeUpHandle> wakeUpHandle_;
    std::unordered_map<int, std::unique_ptr<NotifierSet>> notifiers_;
    std::unordered_map<int, std::unique_ptr<Timer>> timers_;
    TDeadlineHeap timerHeap_;
    std::uint64_t nextTimerSerial_ = 0;
    std::atomic<bool> interrupted_{false};
    bool started_ = false;
};
