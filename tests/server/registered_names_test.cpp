// Registered names at the server over real loopback connections: "/register"
// gives the key to the asking connection alone, the store keeps only its
// SHA-256, and from then on a join in that name (ASCII letter case aside)
// needs the key; a level-1 join in it is closed without a word, other names
// play as guests, and a resume goes on as before.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "game_server_fixture.h"
#include "protocol/command_text.h"
#include "protocol/level2.h"
#include "protocol/tables.h"
#include "records/name_key.h"
#include "records/sqlite_record_store.h"

using Protocol::PaddedName;

namespace server_test {

namespace {

std::string Level2Join(std::string_view name, std::string_view fields = {})
{
    std::string join = Nul("/join " + PaddedName(name)) + "KIVOL/2";
    if (!fields.empty())
        join += " " + std::string(fields);
    return join;
}

std::string Claimed()
{
    using Protocol::Tables::TRefusal;
    return Nul(Protocol::Tables::RefusedText(TRefusal::Claimed, Protocol::Tables::RefusalSentence(TRefusal::Claimed)));
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

class RegisteredNamesTest : public GameServerTest {
protected:
    RegisteredNamesTest() : GameServerTest(IdentityRules()) {}

    void SetUp() override
    {
        GameServerTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        QString error;
        auto store = Records::OpenSqliteRecordStore(dir.path(), server.RecordsLog(), error);
        ASSERT_TRUE(store) << error.toStdString();
        server.UseRecords(std::move(store));
    }

    // Takes packets at peer up to the one that starts with prefix (its command text); nothing when none comes.
    static std::optional<std::string> Until(LoopbackPeer& peer, std::string_view prefix)
    {
        for (std::optional<std::string> packet; (packet = peer.NextPacket());) {
            const std::string command = Protocol::CommandText(packet->data(), static_cast<int>(packet->size()));
            if (StartsWith(command, prefix))
                return command;
        }
        return std::nullopt;
    }

    // A level-2 player in that name who has read its sync block.
    std::unique_ptr<LoopbackPeer> JoinLevel2(std::string_view name, std::string_view fields = {})
    {
        auto peer = Connect();
        EXPECT_TRUE(peer->SendPacket(Level2Join(name, fields)));
        EXPECT_TRUE(Until(*peer, "/state end"));
        return peer;
    }

    // Registers the name from peer, which plays under it; the key.
    std::string Register(LoopbackPeer& peer, std::string_view name)
    {
        EXPECT_TRUE(peer.SendPacket(Nul("/register " + PaddedName(name))));
        const std::optional<std::string> answer = Until(peer, "/namekey ");
        const std::string prefix = "/namekey " + PaddedName(name) + " ";
        EXPECT_TRUE(answer && StartsWith(*answer, prefix)) << answer.value_or("<nothing>");
        return answer ? answer->substr(std::min(answer->size(), prefix.size())) : std::string();
    }

    QTemporaryDir dir;
};

// The key goes to the registering connection alone, once; a second
// registration of the name in any letter case, or of a name the connection
// does not play under, is refused; only the key's SHA-256 reaches the disk.
TEST_F(RegisteredNamesTest, TheKeyGoesToTheRegistrantAloneAndOnlyItsHashIsKept)
{
    auto ann = JoinLevel2("Ann");
    auto other = JoinLevel2("ANN");
    auto old = Connect();
    Join(*old, "bob");
    const std::string key = Register(*ann, "Ann");
    ASSERT_EQ(key.size(), 32u);
    EXPECT_EQ(key.find_first_not_of("0123456789abcdef"), std::string::npos) << key;

    ASSERT_TRUE(other->SendPacket(Nul("/register " + PaddedName("ANN"))));
    EXPECT_EQ(Until(*other, "/game refused "), "/game refused " + Cp932::FromUtf8("この名前はもう登録されています"));
    ASSERT_TRUE(other->SendPacket(Nul("/register " + PaddedName("carl"))));
    EXPECT_EQ(Until(*other, "/game refused "), "/game refused " + Cp932::FromUtf8("参加している名前だけを登録できます"));
    // A level-1 peer's "/register" is neither answered nor relayed.
    ASSERT_TRUE(old->SendPacket(Nul("/register bob     ")));
    ASSERT_TRUE(old->SendPacket(Nul(PaddedName("bob") + ": end")));
    EXPECT_EQ(Next(*old), Nul(PaddedName("bob") + ": end"));

    const auto names = server.RecordStore()->Names();
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(names[0].Name, "Ann");
    ASSERT_TRUE(WaitUntil([&] { return server.RecordStore()->Counts().Written >= 1; }));
    QByteArray disk;
    for (const QString& file : QDir(dir.path()).entryList(QDir::Files)) {
        QFile content(dir.filePath(file));
        ASSERT_TRUE(content.open(QIODevice::ReadOnly));
        disk += content.readAll();
    }
    EXPECT_FALSE(disk.contains(QByteArray::fromStdString(key))) << "the key itself reached the disk";
    EXPECT_TRUE(disk.contains(QByteArray::fromStdString(Records::NameKeyHash(key))));
}

// A registered name joins with its key, in any letter case; without it or
// with a wrong one a level-2 join is refused as claimed and closed, a level-1
// join is closed without a word, and a connection that already plays under
// another name goes whole. Unregistered names keep playing, level 1 included.
TEST_F(RegisteredNamesTest, JoinsInARegisteredNameNeedItsKey)
{
    const std::string key = Register(*JoinLevel2("ann"), "ann");
    auto watcher = JoinLevel2("zed");

    auto with = Connect();
    ASSERT_TRUE(with->SendPacket(Level2Join("ANN", "NAMEKEY=" + key)));
    EXPECT_TRUE(Until(*with, "/state begin "));

    for (const std::string& fields : {std::string(), "NAMEKEY=" + std::string(32, '0'), std::string("NAMEKEY=")}) {
        auto refused = Connect();
        ASSERT_TRUE(refused->SendPacket(Level2Join("aNn", fields)));
        EXPECT_EQ(Next(*refused), Claimed()) << fields;
        EXPECT_TRUE(refused->WaitClosed());
    }
    auto level1 = Connect();
    ASSERT_TRUE(level1->SendPacket(Nul("/join ann     ")));
    EXPECT_TRUE(level1->WaitClosed());
    EXPECT_FALSE(level1->TryNextPacket());

    auto guest = Connect();
    Join(*guest, "bob");
    auto both = JoinLevel2("carl");
    ASSERT_TRUE(both->SendPacket(Level2Join("ann")));
    EXPECT_TRUE(Until(*both, "/refused claimed "));
    EXPECT_TRUE(both->WaitClosed());
    // Nothing of the refused joins reached the table: the roster holds the
    // first ann (away), zed, the second ann and bob once carl's kick is done.
    EXPECT_TRUE(WaitUntil([&] { return game.Roster.Count() == 4; }));
    EXPECT_EQ(server.Metrics.Counter(KivolMetrics::Refusals, {{"reason", "claimed"}}), 5);
}

// A player of a registered name who drops resumes with its token (and its
// key, as the client sends it on every join): the same entry, no new one.
TEST_F(RegisteredNamesTest, AResumeGoesOnAsBefore)
{
    auto ann = JoinLevel2("ann");
    const std::string key = Register(*ann, "ann");
    auto first = Connect();
    ASSERT_TRUE(first->SendPacket(Level2Join("ann", "NAMEKEY=" + key)));
    const std::optional<std::string> begin = Until(*first, "/state begin ");
    ASSERT_TRUE(begin);
    const std::string token = begin->substr(Protocol::Level2::StateBegin.size() + 1, 32);
    first.reset();
    ASSERT_TRUE(Until(*ann, "/away "));
    ASSERT_EQ(game.Roster.Count(), 2);

    auto back = Connect();
    ASSERT_TRUE(back->SendPacket(Level2Join("ann", "RESUME=" + token + " NAMEKEY=" + key)));
    EXPECT_TRUE(Until(*back, "/state begin "));
    EXPECT_EQ(Until(*ann, "/back "), "/back " + PaddedName("ann"));
    EXPECT_EQ(game.Roster.Count(), 2);
    EXPECT_FALSE(game.Roster.Entry(1).Away);
}

}  // namespace server_test
