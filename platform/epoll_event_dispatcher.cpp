#include "platform/epoll_event_dispatcher.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimerEvent>
#include <algorithm>
#include <limits>
#include <optional>
#include <stdexcept>
#include <vector>

#include "platform/socket_reactor.h"

// A Qt timer: a deadline in the dispatcher's heap while it waits, out of it
// while its event is being delivered (so that a nested loop neither fires it
// again nor waits for it). When is its next time in both states.
struct TEpollEventDispatcher::Timer : TDeadlineEntry {
    int Id = 0;
    qint64 Interval = 0;
    Qt::TimerType Type = Qt::CoarseTimer;
    QObject* Object = nullptr;
    // Tells this registration from a later one that reuses its id.
    std::uint64_t Serial = 0;
};

// The Qt socket notifiers of one handle, watched by the reactor as one watch.
class TEpollEventDispatcher::NotifierSet final : public TSocketWatcher {
public:
    explicit NotifierSet(int handle) : watch_(handle, *this) {}

    QSocketNotifier* Read = nullptr;
    QSocketNotifier* Write = nullptr;

    void Update() { watch_.Want(Read != nullptr, Write != nullptr); }
    bool Empty() const { return !Read && !Write; }

    // A notifier's handler may unregister it, or every notifier of the
    // handle, which destroys this set: nothing of it is touched afterwards.
    void Readable() override { Activate(Read); }
    void Writable() override { Activate(Write); }

private:
    static void Activate(QSocketNotifier* notifier)
    {
        if (!notifier)
            return;
        QEvent event(QEvent::SockAct);
        QCoreApplication::sendEvent(notifier, &event);
    }

    TSocketWatch watch_;
};

// An eventfd that other threads write to end the loop's wait. The handle is
// made with the dispatcher, since events may be posted to the thread before
// its loop runs; the watch only on the loop's own thread.
class TEpollEventDispatcher::WakeUpHandle final : public TSocketWatcher {
public:
    WakeUpHandle() : handle_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
    {
        if (handle_ < 0)
            throw std::runtime_error("eventfd failed");
    }
    ~WakeUpHandle() { ::close(handle_); }
    WakeUpHandle(const WakeUpHandle&) = delete;
    WakeUpHandle& operator=(const WakeUpHandle&) = delete;

    int Handle() const { return handle_; }
    void Watch()
    {
        watch_.emplace(handle_, *this);
        watch_->Want(true, false);
    }
    void StopWatching() { watch_.reset(); }

    // Writes only when no wake-up is pending, so that a burst of posted
    // events costs one system call.
    void Wake()
    {
        if (!pending_.exchange(true)) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto written = ::write(handle_, &one, sizeof one);
        }
    }
    // Drained before the pending mark is cleared: a Wake between the two
    // finds the mark set and writes nothing, which loses nothing because the
    // loop sends the posted events before its next wait.
    void Readable() override
    {
        std::uint64_t count;
        [[maybe_unused]] const auto read = ::read(handle_, &count, sizeof count);
        pending_.store(false);
    }
    void Writable() override {}

private:
    int handle_;
    std::atomic<bool> pending_{false};
    std::optional<TSocketWatch> watch_;
};

TEpollEventDispatcher::TEpollEventDispatcher() : wakeUpHandle_(std::make_unique<WakeUpHandle>()) {}

TEpollEventDispatcher::~TEpollEventDispatcher()
{
    closingDown();
}

bool TEpollEventDispatcher::RunsThisThread()
{
    return dynamic_cast<TEpollEventDispatcher*>(QAbstractEventDispatcher::instance()) != nullptr;
}

void TEpollEventDispatcher::startingUp()
{
    if (started_)
        return;
    started_ = true;
    WaitForSocketsInThisThreadsLoop();
    wakeUpHandle_->Watch();
}

void TEpollEventDispatcher::closingDown()
{
    notifiers_.clear();
    wakeUpHandle_->StopWatching();
}

bool TEpollEventDispatcher::processEvents(QEventLoop::ProcessEventsFlags flags)
{
    startingUp();
    interrupted_.store(false);
    QCoreApplication::sendPostedEvents();
    if (interrupted_.load())
        return false;
    const bool includeTimers = !(flags & QEventLoop::X11ExcludeTimers);
    int timeoutMs = 0;
    if (flags & QEventLoop::WaitForMoreEvents)
        timeoutMs = includeTimers ? MillisecondsToEarliestTimer() : -1;
    if (timeoutMs != 0)
        emit aboutToBlock();
    int events = (flags & QEventLoop::ExcludeSocketNotifiers) ? WaitForWakeUpOnly(timeoutMs)
                                                               : WaitForSocketEvents(timeoutMs);
    emit awake();
    if (includeTimers)
        events += ActivateTimers();
    return events > 0;
}

int TEpollEventDispatcher::MillisecondsUntil(Clock::time_point when)
{
    // Rounded up, so that a wait never ends before the timer is due.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count();
    return static_cast<int>(std::clamp<std::int64_t>(ms, 0, std::numeric_limits<int>::max()));
}

int TEpollEventDispatcher::MillisecondsToEarliestTimer() const
{
    const TDeadlineEntry* earliest = timerHeap_.Earliest();
    return earliest ? MillisecondsUntil(earliest->When) : -1;
}

TEpollEventDispatcher::Timer* TEpollEventDispatcher::WaitingToBePlaced(int id, std::uint64_t serial)
{
    const auto found = timers_.find(id);
    if (found == timers_.end() || found->second->Serial != serial || found->second->Placed())
        return nullptr;
    return found->second.get();
}

int TEpollEventDispatcher::WaitForWakeUpOnly(int timeoutMs)
{
    pollfd wakeUp{wakeUpHandle_->Handle(), POLLIN, 0};
    if (::poll(&wakeUp, 1, timeoutMs) <= 0 || !(wakeUp.revents & POLLIN))
        return 0;
    wakeUpHandle_->Readable();
    return 1;
}

int TEpollEventDispatcher::ActivateTimers()
{
    // Only what is due now fires: a zero-interval timer fired here waits for
    // the next round, or it would fire for ever.
    const auto now = Clock::now();
    std::vector<std::pair<int, std::uint64_t>> fireAgainNextRound;
    int fired = 0;
    while (TDeadlineEntry* due = timerHeap_.TakeDue(now)) {
        Timer& timer = static_cast<Timer&>(*due);
        const auto interval = std::chrono::milliseconds(timer.Interval);
        timer.When += interval;
        if (timer.When < now)
            timer.When = now + interval;
        const int id = timer.Id;
        const std::uint64_t serial = timer.Serial;
        QTimerEvent event(id);
        QCoreApplication::sendEvent(timer.Object, &event);
        ++fired;
        // The event's handler may have killed the timer, or killed it and
        // started another under the same id.
        Timer* still = WaitingToBePlaced(id, serial);
        if (still && still->When > now)
            timerHeap_.Place(*still, still->When);
        else if (still)
            fireAgainNextRound.emplace_back(id, serial);
    }
    for (const auto& [id, serial] : fireAgainNextRound)
        if (Timer* still = WaitingToBePlaced(id, serial))
            timerHeap_.Place(*still, still->When);
    return fired;
}

void TEpollEventDispatcher::registerSocketNotifier(QSocketNotifier* notifier)
{
    startingUp();
    const int handle = static_cast<int>(notifier->socket());
    auto& set = notifiers_[handle];
    if (!set)
        set = std::make_unique<NotifierSet>(handle);
    switch (notifier->type()) {
    case QSocketNotifier::Read:
        set->Read = notifier;
        break;
    case QSocketNotifier::Write:
        set->Write = notifier;
        break;
    case QSocketNotifier::Exception:
        qWarning("TEpollEventDispatcher: exception notifiers are not supported (socket %d)", handle);
        break;
    }
    if (set->Empty())
        notifiers_.erase(handle);
    else
        set->Update();
}

void TEpollEventDispatcher::unregisterSocketNotifier(QSocketNotifier* notifier)
{
    const auto found = notifiers_.find(static_cast<int>(notifier->socket()));
    if (found == notifiers_.end())
        return;
    NotifierSet& set = *found->second;
    if (set.Read == notifier)
        set.Read = nullptr;
    if (set.Write == notifier)
        set.Write = nullptr;
    if (set.Empty())
        notifiers_.erase(found);
    else
        set.Update();
}

void TEpollEventDispatcher::registerTimer(int timerId, qint64 interval, Qt::TimerType timerType, QObject* object)
{
    auto timer = std::make_unique<Timer>();
    timer->Id = timerId;
    timer->Interval = std::max<qint64>(0, interval);
    timer->Type = timerType;
    timer->Object = object;
    timer->Serial = nextTimerSerial_++;
    timerHeap_.Place(*timer, Clock::now() + std::chrono::milliseconds(timer->Interval));
    timers_[timerId] = std::move(timer);
}

bool TEpollEventDispatcher::unregisterTimer(int timerId)
{
    const auto found = timers_.find(timerId);
    if (found == timers_.end())
        return false;
    timerHeap_.Remove(*found->second);
    timers_.erase(found);
    return true;
}

bool TEpollEventDispatcher::unregisterTimers(QObject* object)
{
    bool any = false;
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->second->Object == object) {
            timerHeap_.Remove(*it->second);
            it = timers_.erase(it);
            any = true;
        } else {
            ++it;
        }
    }
    return any;
}

QList<QAbstractEventDispatcher::TimerInfo> TEpollEventDispatcher::registeredTimers(QObject* object) const
{
    QList<TimerInfo> list;
    for (const auto& [id, timer] : timers_)
        if (timer->Object == object)
            list.append(TimerInfo(id, static_cast<int>(timer->Interval), timer->Type));
    return list;
}

int TEpollEventDispatcher::remainingTime(int timerId)
{
    const auto found = timers_.find(timerId);
    return found == timers_.end() ? -1 : MillisecondsUntil(found->second->When);
}

void TEpollEventDispatcher::wakeUp()
{
    wakeUpHandle_->Wake();
}

void TEpollEventDispatcher::interrupt()
{
    interrupted_.store(true);
    wakeUp();
}
