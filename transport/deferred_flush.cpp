#include "transport/deferred_flush.h"

#include <QMetaObject>
#include <algorithm>

#include "platform/application.h"
#include "transport/custom_socket_rw.h"

DeferredFlush& DeferredFlush::ForThisThread()
{
    thread_local DeferredFlush queue;
    return queue;
}

void DeferredFlush::Mark(TCustomSocketRW* rw)
{
    pending_.push_back(rw);
    if (!posted_) {
        posted_ = true;
        QMetaObject::invokeMethod(this, [this] { Run(); }, Qt::QueuedConnection);
    }
}

void DeferredFlush::Forget(TCustomSocketRW* rw)
{
    // Entries are cleared, not erased, so that a run in progress keeps its place.
    std::replace(pending_.begin(), pending_.end(), rw, static_cast<TCustomSocketRW*>(nullptr));
}

void DeferredFlush::Run()
{
    posted_ = false;
    // Marks made while running (a disconnect handler that sends) join this run.
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        TCustomSocketRW* rw = pending_[i];
        if (rw)
            DispatchSafely([rw] { rw->FlushMarked(); });
    }
    pending_.clear();
}
