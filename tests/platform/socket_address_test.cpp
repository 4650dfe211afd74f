// Socket addresses of both families: what is tried for listening and
// connecting, and how addresses read in log lines.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>

#include "platform/exceptions.h"
#include "platform/socket_address.h"

namespace {

sockaddr_storage Address(int family, const char* text, int port)
{
    sockaddr_storage storage{};
    if (family == AF_INET) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<std::uint16_t>(port));
        inet_pton(AF_INET, text, &v4->sin_addr);
    } else {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<std::uint16_t>(port));
        inet_pton(AF_INET6, text, &v6->sin6_addr);
    }
    return storage;
}

TEST(SocketAddress, LogTextShowsIPv6AsSuchAndIPv4PeersOfADualStackSocketAsDotted)
{
    EXPECT_EQ(SocketAddressText(Address(AF_INET, "192.0.2.7", 1)), "192.0.2.7");
    EXPECT_EQ(SocketAddressText(Address(AF_INET6, "::1", 1)), "::1");
    EXPECT_EQ(SocketAddressText(Address(AF_INET6, "2001:db8::5", 1)), "2001:db8::5");
    EXPECT_EQ(SocketAddressText(Address(AF_INET6, "::ffff:192.0.2.7", 1)), "192.0.2.7");

    sockaddr_storage mapped = Address(AF_INET6, "::ffff:127.0.0.1", 17031);
    UnmapIPv4(mapped);
    ASSERT_EQ(mapped.ss_family, AF_INET);
    EXPECT_EQ(SocketAddressPort(mapped), 17031);
    EXPECT_EQ(SocketAddressText(mapped), "127.0.0.1");
    EXPECT_EQ(SocketAddressPort(Address(AF_INET6, "::1", 65535)), 65535);
}

TEST(SocketAddress, ListeningEverywhereTriesIPv6ThenIPv4AndANamedAddressAlone)
{
    const auto everywhere = ResolveListenAddresses("", "", "", 16523);
    ASSERT_EQ(everywhere.size(), 2u);
    EXPECT_EQ(everywhere[0].Family(), AF_INET6);
    EXPECT_EQ(everywhere[1].Family(), AF_INET);
    EXPECT_EQ(SocketAddressPort(everywhere[0].Storage), 16523);
    EXPECT_EQ(SocketAddressPort(everywhere[1].Storage), 16523);

    const auto loopback6 = ResolveListenAddresses("", "::1", "", 5);
    ASSERT_EQ(loopback6.size(), 1u);
    EXPECT_EQ(SocketAddressText(loopback6[0].Storage), "::1");
    EXPECT_EQ(loopback6[0].Length, sizeof(sockaddr_in6));
    const auto loopback4 = ResolveListenAddresses("", "127.0.0.1", "", 5);
    ASSERT_EQ(loopback4.size(), 1u);
    EXPECT_EQ(loopback4[0].Length, sizeof(sockaddr_in));

    EXPECT_THROW(ResolveListenAddresses("", "not-an-address", "", 5), ESocketError);
    EXPECT_THROW(ResolveConnectAddresses("", "", "", 5), ESocketError);
}

TEST(SocketAddress, NumericAddressesOfEitherFamilyNeedNoLookup)
{
    for (const char* text : {"127.0.0.1", "0.0.0.0", "::", "::1", "2001:db8::1"})
        EXPECT_TRUE(IsNumericAddress(text)) << text;
    for (const char* text : {"", "localhost", "[::1]", "1.2.3.4:5", "::1::2"})
        EXPECT_FALSE(IsNumericAddress(text)) << text;
}

}  // namespace
