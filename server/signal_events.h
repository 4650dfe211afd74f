#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

// SIGTERM and SIGHUP delivered on the Qt thread: the handler only writes the
// signal's number to a pipe, and a socket notifier on the other end calls
// OnTerminate or OnReload from the event loop, where anything may be done.
// One object at a time per process; it restores the previous handlers when
// it goes.
class TSignalEvents : public QObject {
public:
    TSignalEvents();
    ~TSignalEvents() override;
    TSignalEvents(const TSignalEvents&) = delete;
    TSignalEvents& operator=(const TSignalEvents&) = delete;

    // SIGTERM: save what must survive and end.
    std::function<void()> OnTerminate;
    // SIGHUP: read again what can change while running.
    std::function<void()> OnReload;

private:
    void Deliver();

    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};
