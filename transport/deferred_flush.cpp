#include "transport/deferred_flush.h"

#include <QAbstractEventDispatcher>
#include <QThread>
#include <algorithm>

#include "platform/application.h"
#include "platform/socket_reactor.h"
#include "transport/custom_socket_rw.h"

DeferredFlush& DeferredFlush::ForThisThread()
{
    thread_local DeferredFlush queue;
    return queue;
}

DeferredFlush::DeferredFlush()
{
    // The dispatcher says "awake" once it has handled a round of events and
    // "about to block" before it waits for the next: between the two, every
    // mark of the round is flushed, and nothing waits across a blocking wait.
    auto* dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread());
    connect(dispatcher, &QAbstractEventDispatcher::awake, this, &DeferredFlush::Run);
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &DeferredFlush::Run);
    // What the handlers of a batch of socket events queued goes out as the
    // batch ends, not only when the dispatcher next wakes.
    AfterSocketBatches([this] { Run(); });
}

void DeferredFlush::Mark(TCustomSocketRW* rw)
{
    pending_.push_back(rw);
}

void DeferredFlush::Forget(TCustomSocketRW* rw)
{
    // Entries are cleared, not erased, so that a run in progress keeps its place.
    std::replace(pending_.begin(), pending_.end(), rw, static_cast<TCustomSocketRW*>(nullptr));
}

void DeferredFlush::Run()
{
    if (pending_.empty())
        return;
    // Marks made while running (a disconnect handler that sends) join this run.
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        TCustomSocketRW* rw = pending_[i];
        if (rw)
            DispatchSafely([rw] { rw->FlushMarked(); });
    }
    pending_.clear();
}
