#include "bench/load/server_process.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

#include "bench/load/child_program.h"

namespace load {

ServerProcess::ServerProcess(const std::function<void(const Ready& ready)>& serve)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        throw std::runtime_error("no pipe for the server process");
    pid_ = ::fork();
    if (pid_ < 0)
        throw std::runtime_error("cannot start the server process");
    if (pid_ == 0) {
        ::close(pipeEnds[0]);
        serve([&](int port) {
            (void)!::write(pipeEnds[1], &port, sizeof port);
            ::close(pipeEnds[1]);
        });
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    const bool read = ::read(pipeEnds[0], &port_, sizeof port_) == static_cast<ssize_t>(sizeof port_);
    ::close(pipeEnds[0]);
    if (!read || port_ <= 0)
        throw std::runtime_error("the server process did not start");
}

ServerProcess::~ServerProcess()
{
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

long ServerProcess::ResidentKiB() const
{
    return load::ResidentKiB(pid_);
}

long RaiseOpenFileLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    getrlimit(RLIMIT_NOFILE, &limit);
    return static_cast<long>(limit.rlim_cur);
}

}  // namespace load
