#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <map>

#include "platform/cp932.h"
#include "server/ban_list.h"
#include "server/state_directory.h"

namespace {

using namespace std::chrono_literals;

TBanTarget Address(const char* text)
{
    return *ReadAddressPattern(text);
}

TIpAddress Ip(const char* text)
{
    return *ReadIpAddress(text);
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class BanListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("bans.json"));
    }
    TBanList MakeList() { return TBanList([this] { return now; }); }

    QTemporaryDir dir;
    QString path;
    TBan::TTime now = TBan::TTime(1765000000s);
};

TEST_F(BanListTest, NamesMatchIgnoringAsciiCaseAndPaddingAddressesByPattern)
{
    TBanList bans = MakeList();
    bans.Add(AnsiString("Taro  "), 0min, "", 0);
    bans.Add(Cp932::FromUtf8("ア"), 0min, "", 0);  // 0x83 0x41: its second byte is an 'A'
    bans.Add(Address("198.51.100.0/24"), 0min, "", 0);
    bans.Add(Address("2001:db8:5::1"), 0min, "", 0);

    EXPECT_TRUE(bans.MatchName("tARO    "));
    EXPECT_TRUE(bans.MatchName("taro"));
    EXPECT_FALSE(bans.MatchName("taro2   "));
    EXPECT_TRUE(bans.MatchName(Cp932::FromUtf8("ア")));
    EXPECT_FALSE(bans.MatchName(Cp932::FromUtf8("ヂ")));  // 0x83 0x61
    EXPECT_TRUE(bans.MatchAddress(Ip("198.51.100.200")));
    EXPECT_TRUE(bans.MatchAddress(Ip("::ffff:198.51.100.1")));
    EXPECT_FALSE(bans.MatchAddress(Ip("198.51.101.1")));
    EXPECT_TRUE(bans.MatchAddress(Ip("2001:db8:5::ffff")));
    EXPECT_FALSE(bans.MatchAddress(Ip("2001:db8:6::1")));
    EXPECT_FALSE(bans.MatchAddress(Ip("127.0.0.1")));

    EXPECT_EQ(bans.Lift(AnsiString("TARO")).Bans.size(), 1u);
    EXPECT_FALSE(bans.MatchName("taro"));
    EXPECT_EQ(bans.Lift(Address("198.51.100.7")).Bans.size(), 0u);  // only the same pattern lifts
    EXPECT_EQ(bans.LiftId(3).Bans.size(), 1u);
    EXPECT_FALSE(bans.MatchAddress(Ip("198.51.100.200")));
    EXPECT_EQ(bans.Bans().size(), 2u);
}

TEST_F(BanListTest, TimedBansEndByTheClockAndSurviveARestart)
{
    TBanList bans = MakeList();
    ASSERT_EQ(bans.Load(path), QString());
    const TBanList::TChange added = bans.Add(AnsiString("Hanako"), 10min, "荒らし", 1000);
    EXPECT_EQ(added.SaveError, QString());
    bans.Add(Address("203.0.113.9"), 0min, "", 0);
    bans.Add(Address("203.0.113.10"), 60min, "spam", 0);
    EXPECT_EQ(bans.LiftId(3).Bans.size(), 1u);

    now += 9min;
    TBanList restarted = MakeList();
    ASSERT_EQ(restarted.Load(path), QString());
    const std::vector<TBan> kept = restarted.Bans();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].WhatText(), "Hanako");
    EXPECT_EQ(kept[0].Reason, "荒らし");
    EXPECT_EQ(kept[0].Who, 1000u);
    EXPECT_EQ(kept[0].When, now - 9min);
    EXPECT_EQ(kept[0].Until, now + 1min);
    EXPECT_TRUE(kept[1].UntilLifted());
    EXPECT_TRUE(restarted.MatchName("hanako"));
    // Ids are never given twice, not even after the last one was lifted.
    EXPECT_EQ(restarted.Add(AnsiString("Jiro"), 0min, "", 0).Bans[0].Id, 4);

    now += 1min;
    EXPECT_FALSE(restarted.MatchName("hanako"));
    TBanList later = MakeList();
    ASSERT_EQ(later.Load(path), QString());
    EXPECT_EQ(later.Bans().size(), 2u);
}

TEST_F(BanListTest, AFileThatCannotBeReadIsRefusedAndNeverOverwritten)
{
    TBanList good = MakeList();
    ASSERT_EQ(good.Load(path), QString());
    good.Add(AnsiString("Taro"), 0min, "", 0);
    good.Add(Address("192.0.2.0/24"), 0min, "", 0);
    const QByteArray valid = Contents(path);
    const std::vector<QByteArray> broken{
        valid.left(valid.size() / 2), "", "[]", "{\"bans\": {}}", "{\"bans\": [1]}",
        "{\"bans\": [{\"id\": 1, \"name\": \"a\", \"until\": 0, \"reason\": \"\", \"who\": 0}]}",
        "{\"bans\": [{\"id\": 1, \"name\": \"a\", \"address\": \"1.2.3.4\", \"until\": 0, \"reason\": \"\", \"who\": 0, \"when\": 0}]}",
        "{\"bans\": [{\"id\": 1, \"address\": \"1.2.3.4/40\", \"until\": 0, \"reason\": \"\", \"who\": 0, \"when\": 0}]}",
        "{\"bans\": [{\"id\": 1, \"name\": \"ninebytes\", \"until\": 0, \"reason\": \"\", \"who\": 0, \"when\": 0}]}",
        "{\"bans\": [{\"id\": 1.5, \"name\": \"a\", \"until\": 0, \"reason\": \"\", \"who\": 0, \"when\": 0}]}",
        "{\"bans\": [{\"id\": 1, \"name\": \"a\", \"until\": -1, \"reason\": \"\", \"who\": 0, \"when\": 0}]}",
        "{\"next_id\": 1, \"bans\": [{\"id\": 1, \"name\": \"a\", \"until\": 0, \"reason\": \"\", \"who\": 0, \"when\": 0}]}",
        "{\"bans\": [{\"id\": 1, \"name\": \"a\", \"until\": 0, \"reason\": \"\", \"who\": 0, \"when\": 0},"
        " {\"id\": 1, \"name\": \"b\", \"until\": 0, \"reason\": \"\", \"who\": 0, \"when\": 0}]}"};
    for (const QByteArray& bytes : broken) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        TBanList bans = MakeList();
        const QString error = bans.Load(path);
        EXPECT_TRUE(error.startsWith(path + u':')) << bytes.toStdString() << " -> " << error.toStdString();
        const TBanList::TChange change = bans.Add(AnsiString("x"), 0min, "", 0);
        EXPECT_EQ(change.SaveError, QString());
        EXPECT_EQ(Contents(path), bytes);
    }
    // A directory where the file should be cannot be read either.
    const QString folder = dir.filePath(QStringLiteral("folder.json"));
    ASSERT_TRUE(QDir().mkdir(folder));
    EXPECT_TRUE(MakeList().Load(folder).startsWith(folder + u':'));
}

TEST(StateDirectoryTest, OptionThenSystemdThenXdgThenHome)
{
    std::map<std::string, std::string> variables{{"HOME", "/home/k"}};
    const auto environment = [&](const char* name) -> const char* {
        const auto found = variables.find(name);
        return found == variables.end() ? nullptr : found->second.c_str();
    };
    EXPECT_EQ(StateDirectory({}, environment), QStringLiteral("/home/k/.local/state/kivol"));
    variables["XDG_STATE_HOME"] = "/x";
    EXPECT_EQ(StateDirectory({}, environment), QStringLiteral("/x/kivol"));
    variables["STATE_DIRECTORY"] = "/var/lib/kivol:/var/lib/other";
    EXPECT_EQ(StateDirectory({}, environment), QStringLiteral("/var/lib/kivol"));
    EXPECT_EQ(StateDirectory(QStringLiteral("/srv/k"), environment), QStringLiteral("/srv/k"));
}

}  // namespace
