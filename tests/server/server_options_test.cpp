// kivolsrv's command line: what each option sets, and the status and message
// for what the server cannot take.
#include <gtest/gtest.h>

#include "server/server_options.h"

namespace {

TParsedCommandLine<TServerOptions> Parse(QStringList arguments)
{
    arguments.prepend(QStringLiteral("/usr/bin/kivolsrv"));
    return ParseServerOptions(arguments);
}

TEST(ServerOptions, NoOptionsServeAsBeforeOnEveryAddressOfTheGamePort)
{
    const auto parsed = Parse({});
    EXPECT_FALSE(parsed.Outcome.Exit);
    EXPECT_EQ(parsed.Values.Port, 16523);
    EXPECT_TRUE(parsed.Values.ListenAddress.isEmpty());
    EXPECT_FALSE(parsed.Values.Headless);
    EXPECT_EQ(parsed.Values.Rules.GraceSeconds, 120);
    EXPECT_FALSE(parsed.Values.Rules.TrustNames);
    EXPECT_EQ(parsed.Values.Rules.SolverLimitMs, 50);
    EXPECT_EQ(parsed.Values.Rules.MaxTables, 1000);
}

TEST(ServerOptions, EveryOptionReachesItsSetting)
{
    const auto parsed = Parse({"--port", "17031", "--listen=::1", "--headless", "--grace", "0", "--trust-names",
                               "--solver-limit", "1000", "--max-tables", "0"});
    ASSERT_FALSE(parsed.Outcome.Exit) << parsed.Outcome.Error.toStdString();
    EXPECT_EQ(parsed.Values.Port, 17031);
    EXPECT_EQ(parsed.Values.ListenAddress, QStringLiteral("::1"));
    EXPECT_TRUE(parsed.Values.Headless);
    EXPECT_EQ(parsed.Values.Rules.GraceSeconds, 0);
    EXPECT_TRUE(parsed.Values.Rules.TrustNames);
    EXPECT_EQ(parsed.Values.Rules.SolverLimitMs, 1000);
    EXPECT_EQ(parsed.Values.Rules.MaxTables, 0);

    EXPECT_EQ(Parse({"--listen", "192.0.2.1", "--port", "1", "--solver-limit", "1"}).Values.ListenAddress,
              QStringLiteral("192.0.2.1"));
    EXPECT_EQ(Parse({"--port", "65535"}).Values.Port, 65535);
}

TEST(ServerOptions, WhatTheServerCannotTakeEndsItWithStatusTwoAndTheReason)
{
    const struct {
        QStringList arguments;
        const char* reason;
    } cases[] = {
        {{"--bogus"}, "Unknown option 'bogus'"},
        {{"--port"}, "Missing value after '--port'"},
        {{"--port", "0"}, "--port takes a whole number from 1 to 65535, not '0'"},
        {{"--port", "65536"}, "not '65536'"},
        {{"--port", "16523x"}, "not '16523x'"},
        {{"--port", "-1"}, "not '-1'"},
        {{"--grace", "-1"}, "--grace takes a whole number from 0 to"},
        {{"--grace", "99999999"}, "--grace takes"},  // more than a timer's milliseconds can hold
        {{"--solver-limit", "0"}, "--solver-limit takes a whole number from 1 to 1000"},
        {{"--solver-limit", "1001"}, "not '1001'"},
        {{"--listen", "localhost"}, "--listen takes an IPv4 or IPv6 address, not 'localhost'"},
        {{"--listen", "[::1]"}, "not '[::1]'"},
        {{"--listen", ""}, "--listen takes"},
        {{"16523"}, "unexpected argument '16523'"},
    };
    for (const auto& c : cases) {
        const auto parsed = Parse(c.arguments);
        const std::string where = c.arguments.join(u' ').toStdString();
        EXPECT_TRUE(parsed.Outcome.Exit) << where;
        EXPECT_EQ(parsed.Outcome.ExitStatus, BadCommandLineStatus) << where;
        EXPECT_TRUE(parsed.Outcome.Error.startsWith(QStringLiteral("kivolsrv: "))) << where;
        EXPECT_TRUE(parsed.Outcome.Error.contains(QString::fromUtf8(c.reason))) << where << ": "
                                                                                << parsed.Outcome.Error.toStdString();
        EXPECT_TRUE(parsed.Outcome.Output.isEmpty()) << where;
    }
}

TEST(ServerOptions, HelpAndVersionAnswerOnStandardOutputAndEndWell)
{
    const auto help = Parse({"--help"});
    EXPECT_TRUE(help.Outcome.Exit);
    EXPECT_EQ(help.Outcome.ExitStatus, 0);
    EXPECT_TRUE(help.Outcome.Output.startsWith(QStringLiteral("Usage: kivolsrv [options]")))
        << help.Outcome.Output.toStdString();
    for (const char* option : {"--port <N>", "--listen <ADDRESS>", "--headless", "--grace <SECONDS>", "--trust-names",
                               "--solver-limit <MS>", "--version"})
        EXPECT_TRUE(help.Outcome.Output.contains(QString::fromUtf8(option))) << option;

    const auto version = Parse({"--version", "--port", "7"});
    EXPECT_TRUE(version.Outcome.Exit);
    EXPECT_EQ(version.Outcome.ExitStatus, 0);
    EXPECT_TRUE(version.Outcome.Output.startsWith(QStringLiteral("kivolsrv "))) << version.Outcome.Output.toStdString();
    EXPECT_TRUE(version.Outcome.Error.isEmpty());
}

}  // namespace
