#pragma once

#include <functional>
#include <sys/types.h>

// A server run in a child process of its own, so that its resident memory
// can be read apart from that of the clients driving it. The child calls
// serve, which starts the server, calls ready with its port and then serves
// until the child is killed (by the destructor).
namespace load {

class ServerProcess {
public:
    using Ready = std::function<void(int port)>;
    explicit ServerProcess(const std::function<void(const Ready& ready)>& serve);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    int Port() const { return port_; }
    pid_t Pid() const { return pid_; }
    // The child's resident set size in KiB.
    long ResidentKiB() const;

private:
    pid_t pid_ = -1;
    int port_ = 0;
};

// Raises this process's open-file limit to the hard limit (children inherit
// it); returns the new soft limit.
long RaiseOpenFileLimit();

}  // namespace load
