#include "platform/socket_reactor.h"

#include <sys/epoll.h>
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>
#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

// The epoll handle of one thread and the table of its watches. It exists while
// the thread has a watch: the first watch makes it, and the last one to go
// ends it, or the outermost batch does when a handler removed the last watch.
class TSocketReactor {
public:
    static TSocketReactor& OfThisThread();
    static bool Exists() { return current_ != nullptr; }

    std::uint32_t Add(int handle, TSocketWatcher& watcher);
    void Remove(std::uint32_t slot);
    void Want(std::uint32_t slot, bool read, bool write);
    int DispatchBatch(int timeoutMs);

private:
    // The most events taken from the kernel per notification.
    static constexpr int MaxBatch = 256;

    struct Slot {
        TSocketWatcher* watcher = nullptr;
        int handle = -1;
        // Counts the watches that have held this slot; the kernel's event
        // data is the slot and this count, so that an event fetched for a
        // watch that has gone is never taken for a later one.
        std::uint32_t generation = 0;
        std::uint32_t registered = 0;  // the events the kernel watches; 0: not registered
        bool read = false;
        bool write = false;
    };

    TSocketReactor();
    ~TSocketReactor();
    void Dispatch(const epoll_event& event);
    bool Holds(std::uint32_t slot, std::uint32_t generation) const;
    void EndIfUnused();

    int epoll_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<Slot> slots_;
    std::vector<std::uint32_t> freeSlots_;
    int dispatchDepth_ = 0;

    static thread_local TSocketReactor* current_;
};

thread_local TSocketReactor* TSocketReactor::current_ = nullptr;

namespace {
thread_local std::function<void()> afterSocketBatches;
// Whether this thread's event loop waits in the reactor (no notifier).
thread_local bool loopWaitsInReactor = false;
}  // namespace

void WaitForSocketsInThisThreadsLoop()
{
    // A reactor made before would be watched by a notifier inside its own
    // epoll handle, which the kernel refuses: nothing would ever be read.
    if (TSocketReactor::Exists())
        throw std::logic_error("sockets were watched before the event loop waited in the socket reactor");
    loopWaitsInReactor = true;
}

int WaitForSocketEvents(int timeoutMs)
{
    return TSocketReactor::OfThisThread().DispatchBatch(timeoutMs);
}

void AfterSocketBatches(std::function<void()> fn)
{
    afterSocketBatches = std::move(fn);
}

TSocketReactor& TSocketReactor::OfThisThread()
{
    if (!current_)
        current_ = new TSocketReactor;
    return *current_;
}

TSocketReactor::TSocketReactor() : epoll_(epoll_create1(EPOLL_CLOEXEC))
{
    if (epoll_ < 0)
        throw std::runtime_error("epoll_create1 failed");
    if (loopWaitsInReactor)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(epoll_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { DispatchBatch(0); });
}

TSocketReactor::~TSocketReactor()
{
    notifier_.reset();
    ::close(epoll_);
}

std::uint32_t TSocketReactor::Add(int handle, TSocketWatcher& watcher)
{
    std::uint32_t slot;
    if (freeSlots_.empty()) {
        slot = static_cast<std::uint32_t>(slots_.size());
        slots_.emplace_back();
    } else {
        slot = freeSlots_.back();
        freeSlots_.pop_back();
    }
    Slot& s = slots_[slot];
    s.watcher = &watcher;
    s.handle = handle;
    return slot;
}

void TSocketReactor::Remove(std::uint32_t slot)
{
    Slot& s = slots_[slot];
    if (s.registered)
        epoll_ctl(epoll_, EPOLL_CTL_DEL, s.handle, nullptr);
    s = Slot{nullptr, -1, s.generation + 1, 0, false, false};
    freeSlots_.push_back(slot);
    EndIfUnused();
}

void TSocketReactor::EndIfUnused()
{
    if (dispatchDepth_ == 0 && freeSlots_.size() == slots_.size()) {
        current_ = nullptr;
        delete this;
    }
}

void TSocketReactor::Want(std::uint32_t slot, bool read, bool write)
{
    Slot& s = slots_[slot];
    s.read = read;
    s.write = write;
    const std::uint32_t wanted = (read ? EPOLLIN : 0u) | (write ? EPOLLOUT : 0u);
    if (wanted == s.registered)
        return;
    // A handle wanting nothing leaves the kernel's set: the hang-up and error
    // conditions are reported whatever the event mask says, and would wake
    // the loop without end for a handle whose reads are suspended.
    epoll_event event{};
    event.events = wanted;
    event.data.u64 = static_cast<std::uint64_t>(s.generation) << 32 | slot;
    const int op = s.registered == 0 ? EPOLL_CTL_ADD : wanted == 0 ? EPOLL_CTL_DEL : EPOLL_CTL_MOD;
    if (epoll_ctl(epoll_, op, s.handle, &event) == 0)
        s.registered = wanted;
}

bool TSocketReactor::Holds(std::uint32_t slot, std::uint32_t generation) const
{
    return slots_[slot].generation == generation && slots_[slot].watcher;
}

int TSocketReactor::DispatchBatch(int timeoutMs)
{
    // A handler may run a nested event loop, which brings this function back
    // before the batch is done: each call keeps its own batch. A signal
    // ending the wait early is a wake-up with nothing to dispatch.
    epoll_event batch[MaxBatch];
    const int n = std::max(0, epoll_wait(epoll_, batch, MaxBatch, timeoutMs));
    ++dispatchDepth_;
    for (int i = 0; i < n; ++i)
        Dispatch(batch[i]);
    // Still counted as dispatching: the function may remove the last watch.
    if (dispatchDepth_ == 1 && n > 0 && afterSocketBatches)
        afterSocketBatches();
    --dispatchDepth_;
    EndIfUnused();
    return n;
}

void TSocketReactor::Dispatch(const epoll_event& event)
{
    const auto slot = static_cast<std::uint32_t>(event.data.u64);
    const auto generation = static_cast<std::uint32_t>(event.data.u64 >> 32);
    // A hang-up or error wakes whichever direction is wanted: the reader
    // finds the close, a pending connect finds its error.
    const bool trouble = event.events & (EPOLLERR | EPOLLHUP);
    if (Holds(slot, generation) && slots_[slot].read && (trouble || (event.events & EPOLLIN)))
        slots_[slot].watcher->Readable();
    if (Holds(slot, generation) && slots_[slot].write && (trouble || (event.events & EPOLLOUT)))
        slots_[slot].watcher->Writable();
}

TSocketWatch::TSocketWatch(int handle, TSocketWatcher& watcher)
    : reactor_(&TSocketReactor::OfThisThread()), slot_(reactor_->Add(handle, watcher))
{
}

TSocketWatch::~TSocketWatch()
{
    reactor_->Remove(slot_);
}

void TSocketWatch::Want(bool read, bool write)
{
    reactor_->Want(slot_, read, write);
}
