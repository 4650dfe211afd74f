#include "platform/socket_calls.h"

#include <sys/socket.h>

namespace {

SocketCalls current{::send, ::recv, ::accept4};

}  // namespace

const SocketCalls& CurrentSocketCalls()
{
    return current;
}

ScopedSocketCalls::ScopedSocketCalls(const SocketCalls& calls) : saved_(current)
{
    current = calls;
}

ScopedSocketCalls::~ScopedSocketCalls()
{
    current = saved_;
}
