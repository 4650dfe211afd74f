#pragma once

#include <QObject>
#include <vector>

class TCustomSocketRW;

// Deferred flushing of send buffers: a reader-writer that sends marks itself
// here instead of writing at once, and every marked one writes its whole send
// buffer once at the end of the current batch of socket events, or else at
// the end of the current round of the thread's event loop (when its
// dispatcher is done with the events of the round, or is about to wait for
// more). A burst of packets to one connection thus costs one system
// call, and a connection whose send fails is dealt with by its own error path
// without disturbing the sender. One queue per thread; everything runs on
// that thread, which must run a Qt event loop.
class DeferredFlush : public QObject {
public:
    static DeferredFlush& ForThisThread();

    void Mark(TCustomSocketRW* rw);
    // Called by a reader-writer that is destroyed while marked.
    void Forget(TCustomSocketRW* rw);

private:
    void Run();

    DeferredFlush();

    std::vector<TCustomSocketRW*> pending_;
};
