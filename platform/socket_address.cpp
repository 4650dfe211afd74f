#include "platform/socket_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cstdlib>

#include "platform/exceptions.h"

namespace {

in_addr ResolveHost(const AnsiString& host)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int result = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0 || !found)
        throw ESocketError("ホスト " + host + " が見つかりません (" + gai_strerror(result) + ")");
    const in_addr address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return address;
}

in_port_t ResolveService(const AnsiString& service)
{
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

}  // namespace

sockaddr_in ResolveSocketAddress(const AnsiString& host, const AnsiString& address, const AnsiString& service, int port,
                                 bool allowAny)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    if (!host.empty()) {
        result.sin_addr = ResolveHost(host);
    } else if (!address.empty()) {
        if (inet_pton(AF_INET, address.c_str(), &result.sin_addr) != 1)
            throw ESocketError("アドレス " + address + " は IPv4 アドレスではありません");
    } else if (allowAny) {
        result.sin_addr.s_addr = htonl(INADDR_ANY);
    } else {
        throw ESocketError("ホストもアドレスも指定されていません");
    }
    result.sin_port = service.empty() ? htons(static_cast<std::uint16_t>(port)) : ResolveService(service);
    return result;
}
