#include "platform/keep_alive.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace KeepAlive {

bool Enable(int handle)
{
    const int on = 1;
    return setsockopt(handle, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0 &&
           setsockopt(handle, IPPROTO_TCP, TCP_KEEPIDLE, &IdleSeconds, sizeof IdleSeconds) == 0 &&
           setsockopt(handle, IPPROTO_TCP, TCP_KEEPINTVL, &IntervalSeconds, sizeof IntervalSeconds) == 0 &&
           setsockopt(handle, IPPROTO_TCP, TCP_KEEPCNT, &Probes, sizeof Probes) == 0;
}

}  // namespace KeepAlive
