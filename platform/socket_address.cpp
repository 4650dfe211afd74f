#include "platform/socket_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cstdlib>
#include <cstring>

#include "platform/exceptions.h"

namespace {

in_port_t ResolveService(const AnsiString& service, int port)
{
    if (service.empty())
        return htons(static_cast<std::uint16_t>(port));
    char* end = nullptr;
    const long number = std::strtol(service.c_str(), &end, 10);
    if (end && *end == '\0' && number >= 0 && number <= 0xFFFF)
        return htons(static_cast<std::uint16_t>(number));
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    if (getservbyname_r(service.c_str(), "tcp", &entry, buffer, sizeof buffer, &found) != 0 || !found)
        throw ESocketError("サービス " + service + " が見つかりません");
    return static_cast<in_port_t>(found->s_port);
}

void SetPort(TSocketAddress& address, in_port_t port)
{
    if (address.Family() == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&address.Storage)->sin6_port = port;
    else
        reinterpret_cast<sockaddr_in*>(&address.Storage)->sin_port = port;
}

// Every IPv4 and IPv6 address of a host name or, with numericOnly, of a
// numeric address in either family's notation.
std::vector<TSocketAddress> Lookup(const AnsiString& name, bool numericOnly, in_port_t port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = numericOnly ? AI_NUMERICHOST : 0;
    addrinfo* found = nullptr;
    const int result = getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (result != 0 || !found) {
        if (numericOnly)
            throw ESocketError("アドレス " + name + " は IPv4 アドレスでも IPv6 アドレスでもありません");
        throw ESocketError("ホスト " + name + " が見つかりません (" + gai_strerror(result) + ")");
    }
    std::vector<TSocketAddress> addresses;
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        if ((entry->ai_family != AF_INET && entry->ai_family != AF_INET6) || entry->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        TSocketAddress address;
        std::memcpy(&address.Storage, entry->ai_addr, entry->ai_addrlen);
        address.Length = entry->ai_addrlen;
        SetPort(address, port);
        addresses.push_back(address);
    }
    freeaddrinfo(found);
    if (addresses.empty())
        throw ESocketError("ホスト " + name + " が見つかりません");
    return addresses;
}

TSocketAddress AnyAddress(int family, in_port_t port)
{
    TSocketAddress any;
    if (family == AF_INET6) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&any.Storage);
        v6->sin6_family = AF_INET6;
        v6->sin6_addr = in6addr_any;
        any.Length = sizeof(sockaddr_in6);
    } else {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&any.Storage);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(INADDR_ANY);
        any.Length = sizeof(sockaddr_in);
    }
    SetPort(any, port);
    return any;
}

}  // namespace

std::vector<TSocketAddress> ResolveConnectAddresses(const AnsiString& host, const AnsiString& address,
                                                    const AnsiString& service, int port)
{
    if (host.empty() && address.empty())
        throw ESocketError("ホストもアドレスも指定されていません");
    const in_port_t networkPort = ResolveService(service, port);
    return host.empty() ? Lookup(address, true, networkPort) : Lookup(host, false, networkPort);
}

std::vector<TSocketAddress> ResolveListenAddresses(const AnsiString& host, const AnsiString& address,
                                                   const AnsiString& service, int port)
{
    const in_port_t networkPort = ResolveService(service, port);
    if (!host.empty())
        return {Lookup(host, false, networkPort).front()};
    if (!address.empty())
        return {Lookup(address, true, networkPort).front()};
    return {AnyAddress(AF_INET6, networkPort), AnyAddress(AF_INET, networkPort)};
}

bool IsNumericAddress(const AnsiString& text)
{
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (text.empty() || getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0)
        return false;
    freeaddrinfo(found);
    return true;
}

void UnmapIPv4(sockaddr_storage& address)
{
    if (address.ss_family != AF_INET6)
        return;
    const sockaddr_in6 mapped = *reinterpret_cast<const sockaddr_in6*>(&address);
    if (!IN6_IS_ADDR_V4MAPPED(&mapped.sin6_addr))
        return;
    sockaddr_in plain{};
    plain.sin_family = AF_INET;
    plain.sin_port = mapped.sin6_port;
    std::memcpy(&plain.sin_addr, &mapped.sin6_addr.s6_addr[12], sizeof plain.sin_addr);
    address = {};
    std::memcpy(&address, &plain, sizeof plain);
}

AnsiString SocketAddressText(const sockaddr_storage& address)
{
    sockaddr_storage plain = address;
    UnmapIPv4(plain);
    char text[INET6_ADDRSTRLEN] = {};
    if (plain.ss_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&plain)->sin_addr, text, sizeof text);
    else if (plain.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&plain)->sin6_addr, text, sizeof text);
    return text;
}

int SocketAddressPort(const sockaddr_storage& address)
{
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    return 0;
}
