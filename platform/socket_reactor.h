#pragma once

#include <cstdint>
#include <functional>

// Readiness of many socket handles for one thread, from one epoll handle that
// a single QSocketNotifier watches on that thread's Qt event loop. The event
// loop then costs the same per wake-up however many sockets are open; when the
// notifier fires, a bounded batch of ready handles is taken without waiting
// and each is dispatched in turn, so other events of the loop still run
// between batches.
//
// A handle is watched through a TSocketWatch. An event fetched in a batch is
// dispatched only if the watch that asked for it still exists (a handler may
// destroy any watch, its own or another's) and still wants that kind of
// readiness. The kernel is told only of changes: a watch wanting nothing is
// not registered at all.

// What a watch reports to; called on the thread that made the watch, from
// its event loop, one call at a time per batch.
class TSocketWatcher {
public:
    virtual void Readable() = 0;
    virtual void Writable() = 0;

protected:
    ~TSocketWatcher() = default;
};

// Watches one handle for the lifetime of the object, on the thread that made
// it. Readiness is level-triggered: Readable comes again and again while read
// is wanted and bytes wait (or the peer has closed); Writable likewise while
// write is wanted, so a watcher switches write off when it has been told.
// The handle must stay open while the watch exists.
class TSocketWatch {
public:
    TSocketWatch(int handle, TSocketWatcher& watcher);
    ~TSocketWatch();
    TSocketWatch(const TSocketWatch&) = delete;
    TSocketWatch& operator=(const TSocketWatch&) = delete;

    void Want(bool read, bool write);

private:
    class TSocketReactor* reactor_;
    std::uint32_t slot_;
};

// For an event loop that sleeps in the reactor itself (TEpollEventDispatcher)
// instead of waking for its handle: from this call on the thread's reactor
// has no notifier, and the loop waits through WaitForSocketEvents, so that a
// wake-up is one system call. Called before the thread's first watch.
void WaitForSocketsInThisThreadsLoop();

// Waits up to timeoutMs milliseconds (negative: without limit) for readiness
// of this thread's watches, then dispatches the batch as the notifier would.
// Returns the number of events the batch held.
int WaitForSocketEvents(int timeoutMs);

// Runs fn on this thread after each batch of socket events, once every
// handler of the batch has returned (after the outermost batch, when a
// handler runs a nested event loop). One function per thread; a later call
// replaces it.
void AfterSocketBatches(std::function<void()> fn);
