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
