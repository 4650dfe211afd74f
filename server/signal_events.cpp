#include "server/signal_events.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

#include "platform/exceptions.h"

namespace {

// The write end of the live object's pipe, for the handler.
volatile sig_atomic_t signalPipe = -1;

struct sigaction previousTerm;
struct sigaction previousHup;

void WriteSignal(int number)
{
    // Only async-signal-safe calls here; errno is the interrupted code's.
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe, &byte, 1);
    errno = saved;
}

}  // namespace

TSignalEvents::TSignalEvents()
{
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0)
        throw Exception("シグナル用のパイプを作れません");
    signalPipe = pipe_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Deliver(); });
    struct sigaction action {};
    action.sa_handler = WriteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &previousTerm);
    sigaction(SIGHUP, &action, &previousHup);
}

TSignalEvents::~TSignalEvents()
{
    sigaction(SIGTERM, &previousTerm, nullptr);
    sigaction(SIGHUP, &previousHup, nullptr);
    signalPipe = -1;
    notifier_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void TSignalEvents::Deliver()
{
    unsigned char number;
    while (::read(pipe_[0], &number, 1) == 1) {
        if (number == SIGTERM && OnTerminate)
            OnTerminate();
        else if (number == SIGHUP && OnReload)
            OnReload();
    }
}
