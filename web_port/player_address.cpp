#include "web_port/player_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>

#include "platform/socket_address.h"

AnsiString AddressText(const QHostAddress& address)
{
    sockaddr_storage storage{};
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
        v4->sin_family = AF_INET;
        v4->sin_addr.s_addr = htonl(address.toIPv4Address());
    } else if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
        v6->sin6_family = AF_INET6;
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&v6->sin6_addr, bytes.c, sizeof bytes.c);
    }
    return SocketAddressText(storage);
}

AnsiString PlayerAddress(const QHostAddress& peer, const QByteArray& forwardedFor,
                         const std::vector<QHostAddress>& trustedProxies)
{
    const bool trusted = std::any_of(trustedProxies.begin(), trustedProxies.end(), [&](const QHostAddress& proxy) {
        return proxy.isEqual(peer, QHostAddress::ConvertV4MappedToIPv4);
    });
    if (trusted && !forwardedFor.isEmpty()) {
        const QHostAddress forwarded(QString::fromLatin1(forwardedFor.split(',').last().trimmed()));
        if (!forwarded.isNull())
            return AddressText(forwarded);
    }
    return AddressText(peer);
}
