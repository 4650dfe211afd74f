#pragma once

#include <sys/socket.h>
#include <sys/types.h>

#include <cstddef>

// The system calls through which every socket moves its bytes and a listening
// socket takes its connections. They are the real ::send, ::recv and
// ::accept4; a test replaces them for a while to make the kernel fail in ways
// it will not on demand (a send that fails in the middle of a broadcast, a
// receive error, EINTR, no file handles left). Nothing else ever changes them.
struct SocketCalls {
    ssize_t (*Send)(int handle, const void* buffer, std::size_t length, int flags);
    ssize_t (*Recv)(int handle, void* buffer, std::size_t length, int flags);
    int (*Accept)(int handle, sockaddr* address, socklen_t* length, int flags) = ::accept4;
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
