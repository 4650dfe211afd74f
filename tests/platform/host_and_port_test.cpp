// The server's place as a player types it into the address box or passes it
// on the command line.
#include <gtest/gtest.h>

#include "platform/host_and_port.h"

namespace {

struct Case {
    const char* text;
    std::optional<THostAndPort> expected;
};

TEST(HostAndPort, ReadsEveryFormAHostAndAnOptionalPortCanTake)
{
    const Case cases[] = {
        {"", THostAndPort{"", 0}},
        {"   ", THostAndPort{"", 0}},
        {"example.org", THostAndPort{"example.org", 0}},
        {" example.org:16523 ", THostAndPort{"example.org", 16523}},
        {"127.0.0.1", THostAndPort{"127.0.0.1", 0}},
        {"127.0.0.1:1", THostAndPort{"127.0.0.1", 1}},
        {"127.0.0.1:65535", THostAndPort{"127.0.0.1", 65535}},
        {"::1", THostAndPort{"::1", 0}},
        {"2001:db8::16:1", THostAndPort{"2001:db8::16:1", 0}},
        {"fe80::1%eth0", THostAndPort{"fe80::1%eth0", 0}},
        {"[::1]", THostAndPort{"::1", 0}},
        {"[2001:db8::1]:17031", THostAndPort{"2001:db8::1", 17031}},
        {"[::ffff:127.0.0.1]:80", THostAndPort{"::ffff:127.0.0.1", 80}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseHostAndPort(c.text), c.expected) << c.text;
}

TEST(HostAndPort, RefusesBrokenPlacesInsteadOfGuessing)
{
    for (const char* text : {
             ":16523",             // no host
             "host:",              // no port after the colon
             "host:0",             // port 0 is no port to connect to
             "host:65536",         // past 16 bits
             "host:99999999999",   // would overflow a naive reader
             "host:-1", "host:+80", "host:8o", "host:80 80",
             "[::1",               // unclosed
             "[]", "[]:80",        // empty
             "[::1]80",            // no colon before the port
             "[::1]:", "[::1]:x",  // no port after the colon
             "[host]:80",          // brackets hold IPv6 addresses only
             "[::1]:80]", "a b", "a]b:1",
         })
        EXPECT_EQ(ParseHostAndPort(text), std::nullopt) << text;
}

TEST(HostAndPort, TheServerPlaceFallsBackToTheGamePortAndToTheWholeText)
{
    EXPECT_EQ(ServerPlace("[::1]:17031", 16523), (THostAndPort{"::1", 17031}));
    EXPECT_EQ(ServerPlace("::1", 16523), (THostAndPort{"::1", 16523}));
    EXPECT_EQ(ServerPlace("example.org", 16523), (THostAndPort{"example.org", 16523}));
    // Empty: the connection dialog asks for the host.
    EXPECT_EQ(ServerPlace("", 16523), (THostAndPort{"", 16523}));
    // Nothing to read a port from: the whole text is looked up, and that
    // lookup fails with the text in its message.
    EXPECT_EQ(ServerPlace("host:0", 16523), (THostAndPort{"host:0", 16523}));
}

}  // namespace
