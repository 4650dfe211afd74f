// The client's language: the locale's by default, --lang's when given, and
// the window, its message boxes and its chat notices in English.
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <optional>

#include "client/client_language.h"
#include "client/client_options.h"
#include "client_test_support.h"

using namespace client_test;
using test::WaitUntil;

namespace {

// The locale variables as a test sets them, put back afterwards.
class LocaleEnvironment {
public:
    static constexpr const char* Variables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};

    LocaleEnvironment()
    {
        for (const char* variable : Variables)
            saved_.push_back(qEnvironmentVariableIsSet(variable) ? std::optional(qgetenv(variable)) : std::nullopt);
    }
    ~LocaleEnvironment()
    {
        for (std::size_t i = 0; i < saved_.size(); ++i)
            saved_[i] ? qputenv(Variables[i], *saved_[i]) : qunsetenv(Variables[i]);
    }
    // Sets the three variables, an empty text leaving one unset.
    void Set(const char* all, const char* messages, const char* lang)
    {
        const char* values[] = {all, messages, lang};
        for (std::size_t i = 0; i < std::size(values); ++i)
            *values[i] ? qputenv(Variables[i], values[i]) : qunsetenv(Variables[i]);
    }

private:
    std::vector<std::optional<QByteArray>> saved_;
};

// The windows made while it lives speak English.
class InEnglish {
public:
    InEnglish() : loaded(UseClientLanguage(TClientLanguage::English)) {}
    ~InEnglish() { UseClientLanguage(TClientLanguage::Japanese); }
    const bool loaded;
};

}  // namespace

TEST(ClientLanguage, EnglishOnlyUnderAnEnglishLocaleAndLangChoosesEitherWay)
{
    LocaleEnvironment environment;
    const struct {
        const char* all;
        const char* messages;
        const char* lang;
        TClientLanguage expected;
    } cases[] = {
        {"", "", "en_US.UTF-8", TClientLanguage::English},
        {"", "", "en", TClientLanguage::English},
        {"", "", "ja_JP.UTF-8", TClientLanguage::Japanese},
        {"", "", "C", TClientLanguage::Japanese},
        {"", "", "C.UTF-8", TClientLanguage::Japanese},
        {"", "", "", TClientLanguage::Japanese},
        {"", "", "eo.UTF-8", TClientLanguage::Japanese},
        {"", "en_GB.UTF-8", "ja_JP.UTF-8", TClientLanguage::English},
        {"C", "en_GB.UTF-8", "en_US.UTF-8", TClientLanguage::Japanese},
        {"en_US.UTF-8", "", "ja_JP.UTF-8", TClientLanguage::English},
    };
    for (const auto& c : cases) {
        environment.Set(c.all, c.messages, c.lang);
        EXPECT_EQ(EnvironmentLanguage(), c.expected)
            << "LC_ALL=" << c.all << " LC_MESSAGES=" << c.messages << " LANG=" << c.lang;
    }

    const auto parse = [](QStringList arguments) {
        arguments.prepend(QStringLiteral("kivolcli"));
        return ParseClientOptions(arguments);
    };
    EXPECT_EQ(parse({"--lang", "en"}).Values.Language, TClientLanguage::English);
    EXPECT_EQ(parse({"--lang", "ja", "--name", "KENJ"}).Values.Language, TClientLanguage::Japanese);
    EXPECT_EQ(parse({}).Values.Language, std::nullopt);
    for (const char* wrong : {"fr", "EN", ""}) {
        const auto parsed = parse({"--lang", wrong});
        EXPECT_EQ(parsed.Outcome.ExitStatus, BadCommandLineStatus) << wrong;
        EXPECT_TRUE(parsed.Outcome.Error.contains(QStringLiteral("--lang takes ja or en"))) << wrong;
    }
}

TEST(ClientLanguage, InEnglishTheWindowAndItsMessageBoxesSpeakEnglishThenJapaneseAgain)
{
    test::ReportRecorder reports;
    {
        InEnglish english;
        ASSERT_TRUE(english.loaded);
        Player player;
        TForm1& w = *player.window;
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Kivol Client"));
        EXPECT_EQ(w.lblName->text(), QStringLiteral("Name"));
        EXPECT_EQ(w.btnConnect->text(), QStringLiteral("Connect"));
        EXPECT_EQ(w.btnHit->text(), QStringLiteral("&Hit!"));
        EXPECT_EQ(w.lblTNames[0]->text(), QStringLiteral("Free"));
        EXPECT_EQ(w.btnTakes[0]->text(), QStringLiteral("Sit"));
        QTest::mouseClick(w.btnConnect, Qt::LeftButton);
        ASSERT_EQ(reports.reports.size(), 1U);
        EXPECT_EQ(reports.reports[0].caption, QStringLiteral("Warning!!"));
        EXPECT_EQ(reports.reports[0].text, QStringLiteral("No name at all? That won't do, surely."));
    }
    Player player;
    EXPECT_EQ(player.window->windowTitle(), QStringLiteral("Kivolクライアント"));
    EXPECT_EQ(player.window->btnConnect->text(), QStringLiteral("接続"));
    QTest::mouseClick(player.window->btnConnect, Qt::LeftButton);
    ASSERT_EQ(reports.reports.size(), 2U);
    EXPECT_EQ(reports.reports[1].caption, QStringLiteral("警告！！"));
}

// Also the picture of the window in English:
// build/test/screenshots/kivolcli_english_table.png.
TEST(ClientLanguage, AtATableInEnglishTheNoticesSeatsAndVerdictSpeakEnglish)
{
    test::ReportRecorder reports;  // answers the new-game confirmation
    InEnglish english;
    ASSERT_TRUE(english.loaded);
    GameServer server;
    Player kenj, taro;
    ASSERT_TRUE(kenj.Connect(QStringLiteral("KENJ"), server.Port()));
    ASSERT_TRUE(WaitUntil([&] { return server.socket.ClientCount() == 1; }));
    ASSERT_TRUE(taro.Connect(QStringLiteral("TARO"), server.Port()));
    TForm1& k = *kenj.window;
    TForm1& t = *taro.window;
    ASSERT_TRUE(WaitUntil([&] { return kenj.ChatLines().value(0).startsWith(QStringLiteral("---  TARO")); }));
    EXPECT_EQ(kenj.ChatLines().value(0), QStringLiteral("---  TARO     --- joined"));

    QTest::mouseClick(k.btnInit, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return t.Panel2->isVisible(); }));
    QTest::mouseClick(k.btnTakes[0], Qt::LeftButton);
    QTest::mouseClick(t.btnTakes[3], Qt::LeftButton);
    for (int draw = 1; draw <= 4; ++draw) {
        QTest::mouseClick((draw % 2 ? k : t).btnDraw, Qt::LeftButton);
        ASSERT_TRUE(WaitUntil([&] { return k.BafudaCount == draw && t.BafudaCount == draw; }));
    }
    QTest::mouseClick(k.btnSet, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return k.Table.Table().Target.has_value(); }));
    k.timHit.UseManualClock();
    t.timHit.UseManualClock();
    QTest::mouseClick(k.btnHit, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return k.lblJudge->isVisible(); }));
    EXPECT_TRUE(k.lblJudge->text().contains(QStringLiteral("  first: KENJ"))) << k.lblJudge->text().toStdString();
    EXPECT_TRUE(k.lblJudge->text().startsWith(QStringLiteral("Can be made")) ||
                k.lblJudge->text().startsWith(QStringLiteral("Cannot be made")));
    EXPECT_EQ(k.btnTakes[0]->text(), QStringLiteral("Stand"));
    EXPECT_EQ(k.btnTakes[1]->text(), QStringLiteral("Sit"));
    EXPECT_EQ(k.btnB2Ts[0]->text(), QStringLiteral("Take"));

    const QString directory = QStringLiteral(KIVOL_SCREENSHOT_DIR);
    ASSERT_TRUE(QDir().mkpath(directory));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&k));
    EXPECT_TRUE(k.grab().save(directory + QStringLiteral("/kivolcli_english_table.png")));
}
