#include <gtest/gtest.h>

#include "control/control_command.h"
#include "control/control_paths.h"
#include "platform/cp932.h"

namespace {

using namespace Control;

TControlCommand Parsed(std::vector<std::string> arguments)
{
    const TParsedControlCommand parsed = ParseControlCommand(arguments);
    EXPECT_TRUE(parsed.Command) << arguments[0] << ": " << parsed.Error;
    return parsed.Command.value_or(TStatusCommand{});
}

TEST(ControlCommandTest, ReadsTypedValues)
{
    const auto kick = std::get<TKickCommand>(Parsed({"kick", "太郎", "--table=ﾃｰﾌﾞﾙ", "--reason", "荒らし"}));
    EXPECT_EQ(kick.Name, Cp932::FromUtf8("太郎"));
    EXPECT_EQ(kick.Table, Cp932::FromUtf8("ﾃｰﾌﾞﾙ"));
    EXPECT_EQ(kick.Reason, "荒らし");

    const auto byAddress = std::get<TBanCommand>(Parsed({"ban", "2001:db8::9", "--minutes", "30"}));
    EXPECT_EQ(std::get<TAddressPattern>(byAddress.What).Text(), "2001:db8::/64");
    EXPECT_EQ(byAddress.Minutes, 30);
    EXPECT_EQ(std::get<AnsiString>(std::get<TBanCommand>(Parsed({"ban", "10"})).What), "10");

    EXPECT_EQ(std::get<int>(std::get<TUnbanCommand>(Parsed({"unban", "12"})).What), 12);
    EXPECT_EQ(std::get<TAddressPattern>(std::get<TUnbanCommand>(Parsed({"unban", "10.0.0.0/8"})).What).PrefixLength, 8);
    EXPECT_EQ(std::get<AnsiString>(std::get<TUnbanCommand>(Parsed({"unban", "Taro"})).What), "Taro");

    const auto say = std::get<TSayCommand>(Parsed({"say", "まもなく", "再起動します", "--table", ""}));
    EXPECT_EQ(say.Text, "まもなく 再起動します");
    EXPECT_EQ(say.Table, AnsiString());
    EXPECT_EQ(std::get<TShutdownCommand>(Parsed({"shutdown", "--in", "10"})).InMinutes, 10);
    EXPECT_TRUE(std::get<TShutdownCommand>(Parsed({"shutdown", "--cancel"})).Cancel);
    EXPECT_EQ(std::get<TPlayersCommand>(Parsed({"players"})).Table, std::nullopt);
    EXPECT_EQ(std::get<TMuteCommand>(Parsed({"mute", "--", "--x"})).Name, "--x");
    for (const char* word : {"status", "tables", "bans", "metrics"})
        EXPECT_TRUE(ParseControlCommand({word}).Command) << word;
}

TEST(ControlCommandTest, RefusesBadCommandLinesWithAReason)
{
    const std::vector<std::vector<std::string>> bad{
        {}, {"frob"}, {"kick"}, {"kick", "a", "b"}, {"kick", "a", "--minutes", "3"}, {"kick", "a", "--reason"},
        {"kick", "nine_byte"}, {"kick", "太郎花子です"}, {"kick", "a", "--table", "a b"}, {"kick", "a", "--table", "a/b"},
        {"ban", "10.0.0.0/33"}, {"ban", "a", "--minutes", "-1"}, {"ban", "a", "--minutes", "x"},
        {"ban", "a", "--minutes", "99999999"}, {"unban", "0"}, {"unban", "99999999999"}, {"say"},
        {"say", "a\nb"}, {"say", "😀"}, {"close"}, {"shutdown", "--in", "0"}, {"shutdown", "--cancel", "--in", "5"},
        {"shutdown", "--cancel=yes"}, {"status", "now"}, {"players", "--table"}};
    for (const auto& arguments : bad) {
        const TParsedControlCommand parsed = ParseControlCommand(arguments);
        EXPECT_FALSE(parsed.Command) << (arguments.empty() ? "" : arguments[0]) << " " << arguments.size();
        EXPECT_FALSE(parsed.Error.empty());
    }
}

TEST(ControlCommandTest, DefaultPathsFollowTheEnvironment)
{
    std::map<std::string, std::string> variables;
    const auto environment = [&](const char* name) -> const char* {
        const auto found = variables.find(name);
        return found == variables.end() ? nullptr : found->second.c_str();
    };
    EXPECT_EQ(DefaultControlPath(17031, 1000, environment), "/tmp/kivol-1000/control-17031");
    variables["XDG_RUNTIME_DIR"] = "/run/user/1000";
    EXPECT_EQ(DefaultControlPath(17031, 1000, environment), "/run/user/1000/kivol/control-17031");
    variables["RUNTIME_DIRECTORY"] = "/run/kivol:/run/other";
    EXPECT_EQ(DefaultControlPath(17031, 1000, environment), "/run/kivol/control");
    EXPECT_EQ(ControlPathCandidates(1, 1000, environment),
              (std::vector<std::string>{"/run/kivol/control", "/run/user/1000/kivol/control-1",
                                        "/tmp/kivol-1000/control-1"}));
}

}  // namespace
