#include <gtest/gtest.h>

#include "server/address_limits.h"

namespace {

using namespace std::chrono_literals;

TIpAddress Ip(const char* text)
{
    return *ReadIpAddress(text);
}

class AddressLimitsTest : public ::testing::Test {
protected:
    TAddressLimits Make(TAddressLimitOptions options)
    {
        return TAddressLimits(options, [this] { return now; });
    }
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::time_point(100h);
};

TEST_F(AddressLimitsTest, OpenConnectionsPerAddressAreCountedUntilReleased)
{
    TAddressLimits limits = Make({3, 0, false});
    const TIpAddress a = Ip("192.0.2.1");
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(limits.Accept(a).Accept);
    const TAddressLimits::TDecision refused = limits.Accept(a);
    EXPECT_FALSE(refused.Accept);
    EXPECT_NE(refused.Reason.find("more than 3 connections from 192.0.2.1"), std::string::npos);
    EXPECT_TRUE(limits.Accept(Ip("192.0.2.2")).Accept);
    // The same peer through a dual-stack socket is the same address.
    EXPECT_FALSE(limits.Accept(Ip("::ffff:192.0.2.1")).Accept);
    limits.Release(a);
    EXPECT_TRUE(limits.Accept(a).Accept);

    TAddressLimits unlimited = Make({0, 0, false});
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(unlimited.Accept(a).Accept);
}

TEST_F(AddressLimitsTest, AtMostSoManyNewConnectionsInAnyOneSecond)
{
    TAddressLimits limits = Make({0, 20, false});
    const TIpAddress a = Ip("2001:db8::1");
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(limits.Accept(a).Accept) << i;
        limits.Release(a);
        now += 10ms;
    }
    EXPECT_FALSE(limits.Accept(a).Accept);
    now += 805ms;  // one second after the first: that one leaves the window
    EXPECT_TRUE(limits.Accept(a).Accept);
    EXPECT_FALSE(limits.Accept(a).Accept);
}

TEST_F(AddressLimitsTest, LoopbackIsExemptUnlessLimited)
{
    TAddressLimits exempt = Make({1, 1, false});
    for (const char* loopback : {"127.0.0.1", "127.8.9.10", "::1", "::ffff:127.0.0.1"}) {
        TAddressLimits limited = Make({1, 1, true});
        EXPECT_TRUE(exempt.Accept(Ip(loopback)).Accept && exempt.Accept(Ip(loopback)).Accept) << loopback;
        EXPECT_TRUE(limited.Accept(Ip(loopback)).Accept) << loopback;
        EXPECT_FALSE(limited.Accept(Ip(loopback)).Accept) << loopback;
    }
    EXPECT_EQ(exempt.Remembered(), 0u);
}

TEST_F(AddressLimitsTest, RefusalsAreLoggedOnceAMinuteAndIdleAddressesForgotten)
{
    TAddressLimits limits = Make({1, 0, false});
    const TIpAddress a = Ip("198.51.100.4");
    ASSERT_TRUE(limits.Accept(a).Accept);
    EXPECT_TRUE(limits.Accept(a).Log);
    for (int i = 0; i < 5; ++i) {
        now += 10s;
        EXPECT_FALSE(limits.Accept(a).Log);
    }
    now += 10s;
    const TAddressLimits::TDecision again = limits.Accept(a);
    EXPECT_TRUE(again.Log);
    EXPECT_EQ(again.Unlogged, 5);

    // Thousands of addresses that came and went leave nothing behind.
    TAddressLimits busy = Make({32, 20, false});
    for (int i = 0; i < 5000; ++i) {
        const TIpAddress address = Ip(("10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256)).c_str());
        ASSERT_TRUE(busy.Accept(address).Accept);
        busy.Release(address);
    }
    const TIpAddress held = Ip("10.99.0.1");
    busy.Accept(held);
    now += 2s;
    busy.Accept(Ip("10.99.0.2"));
    EXPECT_EQ(busy.Remembered(), 2u);
}

}  // namespace
