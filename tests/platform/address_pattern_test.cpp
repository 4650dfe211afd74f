#include <gtest/gtest.h>

#include "platform/address_pattern.h"

namespace {

bool Matches(const char* pattern, const char* address)
{
    const std::optional<TAddressPattern> p = ReadAddressPattern(pattern);
    const std::optional<TIpAddress> a = ReadIpAddress(address);
    if (!p || !a)
        ADD_FAILURE() << pattern << " or " << address << " unreadable";
    return p && a && p->Matches(*a);
}

TEST(AddressPatternTest, MatchesByPrefixWithIpv6AloneAsItsSlash64)
{
    EXPECT_TRUE(Matches("192.0.2.7", "192.0.2.7"));
    EXPECT_FALSE(Matches("192.0.2.7", "192.0.2.8"));
    EXPECT_TRUE(Matches("10.1.2.3/8", "10.200.0.1"));
    EXPECT_FALSE(Matches("10.0.0.0/8", "11.0.0.1"));
    EXPECT_TRUE(Matches("0.0.0.0/0", "203.0.113.5"));
    // An IPv4 peer of a dual-stack socket is its IPv4 address, both ways.
    EXPECT_TRUE(Matches("192.0.2.0/24", "::ffff:192.0.2.99"));
    EXPECT_TRUE(Matches("::ffff:192.0.2.1", "192.0.2.1"));
    EXPECT_TRUE(Matches("2001:db8:1:2::5", "2001:db8:1:2:ffff::1"));
    EXPECT_FALSE(Matches("2001:db8:1:2::5", "2001:db8:1:3::5"));
    EXPECT_TRUE(Matches("2001:db8::1/128", "2001:db8::1"));
    EXPECT_FALSE(Matches("2001:db8::1/128", "2001:db8::2"));
    EXPECT_FALSE(Matches("0.0.0.0/0", "::1"));

    EXPECT_EQ(ReadAddressPattern("10.1.2.3/8")->Text(), "10.0.0.0/8");
    EXPECT_EQ(ReadAddressPattern("2001:db8::7")->Text(), "2001:db8::/64");
    EXPECT_EQ(ReadAddressPattern("192.0.2.1")->Text(), "192.0.2.1");
    EXPECT_TRUE(ReadIpAddress("127.0.0.5")->IsLoopback() && ReadIpAddress("::1")->IsLoopback());
    EXPECT_FALSE(ReadIpAddress("::2")->IsLoopback());

    for (const char* bad : {"10.0.0.0/33", "10.0.0.0/", "10.0.0.0/x", "::1/129", "::1/-1", "10.0.0.0/8/8"}) {
        std::string error;
        EXPECT_FALSE(ReadAddressPattern(bad, &error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    std::string error;
    EXPECT_FALSE(ReadAddressPattern("taro", &error));
    EXPECT_TRUE(error.empty());
}

}  // namespace
