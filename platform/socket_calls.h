#pragma once

#include <sys/types.h>

#include <cstddef>

// The system calls through which every socket moves its bytes. They are the
// real ::send and ::recv; a test replaces them for a while to make the kernel
// fail in ways it will not on demand (a send that fails in the middle of a
// broadcast, a receive error, EINTR). Nothing else ever changes them.
struct SocketCalls {
    ssize_t (*Send)(int handle, const void* buffer, std::size_t length, int flags);
    ssize_t (*Recv)(int handle, void* buffer, std::size_t length, int flags);
};

// The calls in force.
const SocketCalls& CurrentSocketCalls();

// Puts other calls in force for its lifetime and restores the previous ones
// afterwards. Only for tests, on the thread that runs the sockets.
class ScopedSocketCalls {
public:
    explicit ScopedSocketCalls(const SocketCalls& calls);
    ~ScopedSocketCalls();
    ScopedSocketCalls(const ScopedSocketCalls&) = delete;
    ScopedSocketCalls& operator=(const ScopedSocketCalls&) = delete;

private:
    SocketCalls saved_;
};
