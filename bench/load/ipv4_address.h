#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdint>

namespace load {

// An IPv4 socket address from a host address in host byte order and a port.
inline sockaddr_in Ipv4Address(std::uint32_t host, int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(host);
    return address;
}

// 127.0.0.1 at port (0: any free port, for bind).
inline sockaddr_in LoopbackAddress(int port)
{
    return Ipv4Address(INADDR_LOOPBACK, port);
}

}  // namespace load
