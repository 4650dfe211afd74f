// Registered names and the server's pages in the window, against a scripted
// server: 名前を登録 sends "/register", the answered key is kept in the
// user's settings and rides on every later join of the name at that server
// (the next start included); a claimed refusal offers the import, after
// which the join is tried again with the key; the pages open from "/site";
// and a level-1 server gets and shows none of it.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "client/name_key_dialog.h"
#include "client_test_support.h"
#include "protocol/roster_text.h"

using namespace client_test;
using test::WaitUntil;

namespace {

const std::string Token = "0123456789abcdef0123456789abcdef";
const std::string NameKey = "00112233445566778899aabbccddeeff";

class RegisteredNamesWindow : public ::testing::Test {
protected:
    // Connects the player as name and answers as a level-2 server, with the
    // extra lines after the sync block.
    void JoinLevel2(Player& player, const QString& name, const std::string& padded, const std::string& expectedJoin,
                    std::initializer_list<std::string> afterSync = {})
    {
        ASSERT_TRUE(player.Connect(name, listener.Port()));
        peer = std::make_unique<ScriptedPeer>(listener.Accept(WaitMs));
        ASSERT_EQ(peer->ReadPacket(), expectedJoin);
        peer->SendAndWait(player, {"/list " + Protocol::RosterText({padded}), "/state begin " + Token + " 120",
                                   "/state end"});
        peer->SendAndWait(player, afterSync);
    }

    void Leave(Player& player)
    {
        QTest::mouseClick(player.window->btnDisconnect, Qt::LeftButton);
        ASSERT_TRUE(peer->WaitClosed());
    }

    test::ReportRecorder reports;
    test::RawListener listener;
    std::unique_ptr<ScriptedPeer> peer;
    Player player;
    TForm1& w = *player.window;
};

}  // namespace

TEST_F(RegisteredNamesWindow, TheRegisteredKeyIsKeptAndEveryLaterJoinOfTheNameCarriesIt)
{
    JoinLevel2(player, QStringLiteral("KENJ"), "KENJ    ", Join("KENJ    "));
    ASSERT_TRUE(w.btnNames->isVisible());
    EXPECT_FALSE(w.actLeaderboard->isVisible()) << "no pages without a /site";
    w.actRegister->trigger();
    EXPECT_EQ(peer->ReadPacket(), Nul("/register KENJ"));

    // The server's refusal is the registration's, not a game's.
    peer->Send({"/game refused " + Sjis("いまは登録できません")});
    ASSERT_TRUE(WaitUntil([&] { return reports.Contains(QStringLiteral("いまは登録できません")); }, WaitMs));
    EXPECT_EQ(reports.reports.back().caption, QStringLiteral("名前の登録"));

    w.actRegister->trigger();
    EXPECT_EQ(peer->ReadPacket(), Nul("/register KENJ"));
    peer->SendAndWait(player, {"/namekey KENJ     " + NameKey});
    ASSERT_TRUE(w.NameKeyDialog->isVisible()) << "the key is shown to copy";
    EXPECT_EQ(w.NameKeyDialog->edtKey->text().toStdString(), NameKey);
    w.NameKeyDialog->hide();
    Leave(player);

    // The next start of the program, as "kenj": the server compares names
    // without letter case, and so are keys kept.
    Player next;
    next.window->NameKeys.UseFile(player.SettingsFile());
    JoinLevel2(next, QStringLiteral("kenj"), "kenj    ", Join("kenj    ") + " NAMEKEY=" + NameKey);
    next.window->actNameKey->trigger();
    EXPECT_EQ(next.window->NameKeyDialog->edtKey->text().toStdString(), NameKey);
    QTest::mouseClick(next.window->btnDisconnect, Qt::LeftButton);
    ASSERT_TRUE(peer->WaitClosed());

    // Another name, or the same name at another server, joins without it.
    JoinLevel2(player, QStringLiteral("TARO"), "TARO    ", Join("TARO    "));
    Leave(player);
    test::RawListener other;
    ASSERT_TRUE(player.Connect(QStringLiteral("KENJ"), other.Port()));
    EXPECT_EQ(ScriptedPeer(other.Accept(WaitMs)).ReadPacket(), Join("KENJ    "));
}

TEST_F(RegisteredNamesWindow, AKeyThatCannotBeSavedIsSaidSoAndStillShown)
{
    // A folder where the settings file should be: nothing can be written.
    const QTemporaryDir folder;
    w.NameKeys.UseFile(folder.path());
    JoinLevel2(player, QStringLiteral("KENJ"), "KENJ    ", Join("KENJ    "));
    w.actRegister->trigger();
    EXPECT_EQ(peer->ReadPacket(), Nul("/register KENJ"));
    peer->SendAndWait(player, {"/namekey KENJ     " + NameKey});
    ASSERT_TRUE(w.NameKeyDialog->isVisible());
    EXPECT_TRUE(w.NameKeyDialog->lblSentence->text().contains(QStringLiteral("保存できませんでした")));
    EXPECT_EQ(w.NameKeyDialog->edtKey->text().toStdString(), NameKey);
    QTest::mouseClick(w.NameKeyDialog->btnImport, Qt::LeftButton);
    EXPECT_TRUE(w.NameKeyDialog->isVisible()) << "an import that cannot be kept is not taken";
    EXPECT_FALSE(w.NameKeyDialog->lblProblem->text().isEmpty());
}

TEST_F(RegisteredNamesWindow, AClaimedRefusalOffersTheImportAndTheJoinIsTriedAgainWithTheKey)
{
    ASSERT_TRUE(player.Connect(QStringLiteral("KENJ"), listener.Port()));
    peer = std::make_unique<ScriptedPeer>(listener.Accept(WaitMs));
    ASSERT_EQ(peer->ReadPacket(), Join("KENJ    "));
    peer->Send({"/refused claimed " + Sjis("この名前は登録されています")});
    TNameKeyDialog& dialog = *w.NameKeyDialog;
    ASSERT_TRUE(WaitUntil([&] { return dialog.isVisible(); }, WaitMs));
    ASSERT_EQ(reports.reports.size(), 1u);
    EXPECT_TRUE(reports.reports[0].text.startsWith(QStringLiteral("この名前は登録されています\n")));
    EXPECT_EQ(dialog.edtServer->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(dialog.edtName->text(), QStringLiteral("KENJ"));
    EXPECT_TRUE(dialog.edtKey->text().isEmpty());
    EXPECT_TRUE(w.btnConnect->isEnabled()) << "not retried on its own";

    // A key that is not one stays in the dialog with the reason.
    dialog.edtKey->setText(QStringLiteral("0011 2233"));
    QTest::mouseClick(dialog.btnImport, Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.lblProblem->text().isEmpty());

    // Pasted with spaces and in capitals, it is taken and the join carries it.
    dialog.edtKey->setText(QStringLiteral("  ") + QString::fromStdString(NameKey).toUpper() + u' ');
    QTest::mouseClick(dialog.btnImport, Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    peer = std::make_unique<ScriptedPeer>(listener.Accept(WaitMs));
    EXPECT_EQ(peer->ReadPacket(), Join("KENJ    ") + " NAMEKEY=" + NameKey);

    // Declined, the refusal is only reported.
    reports.answer = IDCANCEL;
    peer->Send({"/refused claimed " + Sjis("この名前は登録されています")});
    ASSERT_TRUE(WaitUntil([&] { return reports.reports.size() == 2; }, WaitMs));
    test::PumpFor(50);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(RegisteredNamesWindow, ThePagesOpenFromTheSiteWithThePlayersNameEncoded)
{
    std::vector<QString> opened;
    w.OpenUrl = [&](const QUrl& url) {
        opened.push_back(url.toString(QUrl::FullyEncoded));
        return true;
    };
    // An operator's address without its final "/" still names a folder.
    const std::string taro = Sjis("太郎") + "    ";
    JoinLevel2(player, QStringLiteral("太郎"), taro, Join(taro), {"/site https://kivol.example.org/records"});
    ASSERT_TRUE(w.actLeaderboard->isVisible() && w.actOwnPage->isVisible());
    w.actLeaderboard->trigger();
    w.actOwnPage->trigger();
    EXPECT_EQ(opened, (std::vector<QString>{QStringLiteral("https://kivol.example.org/records/leaderboard"),
                                           QStringLiteral("https://kivol.example.org/records/p/%E5%A4%AA%E9%83%8E")}));

    // Only a web address is opened; the next connection starts without one.
    peer->SendAndWait(player, {"/site file:///etc/"});
    EXPECT_FALSE(w.actOwnPage->isVisible());
    peer->SendAndWait(player, {"/site http://127.0.0.1:8080/"});
    EXPECT_TRUE(w.actOwnPage->isVisible());
    Leave(player);
    JoinLevel2(player, QStringLiteral("太郎"), taro, Join(taro));
    EXPECT_FALSE(w.actLeaderboard->isVisible());
    EXPECT_EQ(opened.size(), 2u);
}

TEST_F(RegisteredNamesWindow, ALevel1ServerNeitherGetsNorShowsAnyOfIt)
{
    ASSERT_TRUE(player.Connect(QStringLiteral("KENJ"), listener.Port()));
    peer = std::make_unique<ScriptedPeer>(listener.Accept(WaitMs));
    ASSERT_EQ(peer->ReadPacket(), Join("KENJ    "));
    peer->SendAndWait(player, {"/list KENJ    ", "/site http://127.0.0.1:8080/", "/namekey KENJ     " + NameKey});
    EXPECT_FALSE(w.btnNames->isVisible());
    EXPECT_FALSE(w.NameKeyDialog->isVisible());
    w.actRegister->trigger();
    QTest::mouseClick(w.btnDisconnect, Qt::LeftButton);
    EXPECT_EQ(peer->ReadPacket(), Nul("/left KENJ    ")) << "no /register went";
    ASSERT_TRUE(peer->WaitClosed());
    JoinLevel2(player, QStringLiteral("KENJ"), "KENJ    ", Join("KENJ    "));
    EXPECT_TRUE(reports.reports.empty());
}
