// kivolcli's command line: the server and the name it fills in, and what it
// refuses.
#include <gtest/gtest.h>

#include "client/client_options.h"

namespace {

TParsedCommandLine<TClientOptions> Parse(QStringList arguments)
{
    arguments.prepend(QStringLiteral("kivolcli"));
    return ParseClientOptions(arguments);
}

TEST(ClientOptions, TheServerAndNameFillTheBoxesAndBothTogetherConnect)
{
    const auto none = Parse({});
    EXPECT_FALSE(none.Outcome.Exit);
    EXPECT_TRUE(none.Values.Address.isEmpty());
    EXPECT_TRUE(none.Values.Name.isEmpty());
    EXPECT_FALSE(none.Values.ConnectAtStart());

    const auto both = Parse({"--connect", "[::1]:17031", "--name", QStringLiteral("あいうえ")});
    ASSERT_FALSE(both.Outcome.Exit) << both.Outcome.Error.toStdString();
    EXPECT_EQ(both.Values.Address, QStringLiteral("[::1]:17031"));
    EXPECT_EQ(both.Values.Name, QStringLiteral("あいうえ"));
    EXPECT_TRUE(both.Values.ConnectAtStart());

    for (const char* server : {"example.org", "example.org:80", "192.0.2.1:16523", "2001:db8::1", "[2001:db8::1]"})
        EXPECT_EQ(Parse({"--connect", server}).Values.Address, QString::fromUtf8(server)) << server;
    EXPECT_FALSE(Parse({"--name", "ABCDEFGH"}).Values.ConnectAtStart());
}

TEST(ClientOptions, ABrokenServerOrANameTheGameCannotSendEndsWithStatusTwo)
{
    const struct {
        QStringList arguments;
        const char* reason;
    } cases[] = {
        {{"--connect", "host:0"}, "--connect takes host, host:port"},
        {{"--connect", "[::1"}, "not '[::1'"},
        {{"--connect", ""}, "--connect takes"},
        {{"--connect"}, "Missing value after '--connect'"},
        {{"--name", ""}, "--name takes a name of one character or more"},
        {{"--name", "ABCDEFGHI"}, "at most 8 bytes"},
        {{"--name", QStringLiteral("あいうえお")}, "at most 8 bytes"},  // ten bytes in Shift-JIS
        {{"--name", "/kill"}, "--name must not start with '/'"},
        {{"--port", "1"}, "Unknown option 'port'"},
        {{"server"}, "unexpected argument 'server'"},
    };
    for (const auto& c : cases) {
        const auto parsed = Parse(c.arguments);
        const std::string where = c.arguments.join(u' ').toStdString();
        EXPECT_TRUE(parsed.Outcome.Exit) << where;
        EXPECT_EQ(parsed.Outcome.ExitStatus, BadCommandLineStatus) << where;
        EXPECT_TRUE(parsed.Outcome.Error.startsWith(QStringLiteral("kivolcli: "))) << where;
        EXPECT_TRUE(parsed.Outcome.Error.contains(QString::fromUtf8(c.reason)))
            << where << ": " << parsed.Outcome.Error.toStdString();
    }
}

}  // namespace

namespace {

// What the address box is given for each way of naming a table, and what is
// refused: one table of command lines through the same reading the box uses.
TEST(ClientOptions, TablesLinksKeysAndWatchingReadAsTheAddressBoxTakesThem)
{
    const struct {
        QStringList arguments;
        const char* address;  // the box's text, or nullptr for a refusal
        const char* reason;   // for a refusal, part of the message
        bool watch;
    } cases[] = {
        {{"--connect", "example.org:17031/金曜"}, "example.org:17031/金曜", nullptr, false},
        {{"--connect", "example.org/金曜#key=s3cret!", "--watch"}, "example.org/金曜#key=s3cret!", nullptr, true},
        {{"--connect", "[::1]:17031/abc"}, "[::1]:17031/abc", nullptr, false},
        {{"--connect", "example.org/"}, "example.org", nullptr, false},
        {{"kivol://example.org:17031/%E9%87%91%E6%9B%9C"}, "example.org:17031/金曜", nullptr, false},
        {{"--name", "AB", "KIVOL://Example.org/abc#key=k%23y"}, "example.org/abc#key=k#y", nullptr, false},
        {{"kivol://[2001:db8::1]:80/x", "--watch"}, "[2001:db8::1]:80/x", nullptr, true},
        {{"kivol://example.org"}, "example.org", nullptr, false},
        {{"--connect", "kivol://example.org/abc"}, "example.org/abc", nullptr, false},
        {{"--connect", "example.org/a b"}, nullptr, "--connect names no valid table", false},
        {{"--connect", "example.org/12345678901234567"}, nullptr, "names no valid table", false},
        {{"--connect", "example.org/한국"}, nullptr, "names no valid table", false},  // no Shift-JIS for it
        {{"--connect", "example.org/a#key=a b"}, nullptr, "carries no valid key", false},
        {{"--connect", "/abc"}, nullptr, "--connect takes host", false},
        {{"kivol://example.org/a%2Fb"}, nullptr, "the link names no valid table", false},
        {{"kivol://example.org/%FF"}, nullptr, "names no valid table", false},
        {{"kivol://example.org/abc#key="}, nullptr, "carries no valid key", false},
        {{"kivol:///abc"}, nullptr, "a link takes the form", false},
        {{"kivol://example.org:0/abc"}, nullptr, "the link takes host", false},
        {{"kivol://a/x", "kivol://b/y"}, nullptr, "give one server", false},
        {{"--connect", "a", "kivol://b/y"}, nullptr, "give one server", false},
    };
    for (const auto& c : cases) {
        const auto parsed = Parse(c.arguments);
        const std::string where = c.arguments.join(u' ').toStdString();
        if (c.address) {
            EXPECT_FALSE(parsed.Outcome.Exit) << where << ": " << parsed.Outcome.Error.toStdString();
            EXPECT_EQ(parsed.Values.Address.toStdString(), c.address) << where;
            EXPECT_EQ(parsed.Values.Watch, c.watch) << where;
        } else {
            EXPECT_EQ(parsed.Outcome.ExitStatus, BadCommandLineStatus) << where;
            EXPECT_TRUE(parsed.Outcome.Error.contains(QString::fromUtf8(c.reason)))
                << where << ": " << parsed.Outcome.Error.toStdString();
        }
    }
}

}  // namespace
