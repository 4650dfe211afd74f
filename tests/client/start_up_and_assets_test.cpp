// Start-up: the window's first state, its files beside the program, a sound
// file that cannot be read, the WAV images, and the version dialog.
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "client/version_dialog.h"
#include "client_test_support.h"

using namespace client_test;
using test::WaitUntil;

namespace {

const char* const SoundFiles[] = {"draw.wav", "join.wav", "hit.wav", "message.wav", "hele.wav"};

// A copy of the program directory's sounds, less the one named.
void CopySoundsExcept(const QTemporaryDir& dir, const char* missing)
{
    for (const char* file : SoundFiles) {
        if (std::string_view(file) != missing) {
            ASSERT_TRUE(QFile::copy(AssetPath(ProgramDirectory(), QString::fromLatin1(file)),
                                    dir.filePath(QString::fromLatin1(file))));
        }
    }
}

// Restores the working directory when the test ends.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const QString& path) : saved_(QDir::currentPath()) { QDir::setCurrent(path); }
    ~WorkingDirectory() { QDir::setCurrent(saved_); }

private:
    QString saved_;
};

// Records the links handed to the desktop.
class LinkRecorder : public QObject {
    Q_OBJECT
public:
    LinkRecorder()
    {
        for (const char* scheme : {"mailto", "https"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "Open");
    }
    ~LinkRecorder() override
    {
        for (const char* scheme : {"mailto", "https"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
    }
    QStringList opened;

public slots:
    void Open(const QUrl& url) { opened << url.toString(); }
};

}  // namespace

TEST(ClientStartUp, OpensDisconnectedWithTheStartingTexts)
{
    test::ReportRecorder reports;
    Player player;
    TForm1& w = *player.window;
    EXPECT_TRUE(reports.reports.empty());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kivolクライアント"));
    EXPECT_EQ(w.size(), QSize(798, 693));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_FALSE(w.Panel1->isVisible());
    EXPECT_FALSE(w.btnDisconnect->isEnabled());
    EXPECT_TRUE(w.edtName->text().isEmpty());
    EXPECT_TRUE(w.edtAddress->text().isEmpty());
    EXPECT_EQ(w.edtMokuteki->text(), QStringLiteral("47"));
    EXPECT_FALSE(w.edtMokuteki->testAttribute(Qt::WA_InputMethodEnabled));
    w.lstPlayers->addItem(QStringLiteral("KENJ    "));
    EXPECT_EQ(w.lstPlayers->visualItemRect(w.lstPlayers->item(0)).height(), 16);
    w.lstPlayers->clear();
    EXPECT_EQ(w.lblYamafuda->text(), QStringLiteral("山札"));
    EXPECT_FALSE(w.timHit.Enabled());
    EXPECT_EQ(w.timHit.Interval(), 3000);
    EXPECT_EQ(w.FlashInfo.Window, &w);
    for (int s = 0; s < TForm1::SeatCount; ++s) {
        EXPECT_EQ(w.lblTNames[s]->text(), QStringLiteral("空き"));
        EXPECT_EQ(w.lblTables[s]->text(), QStringLiteral("0"));
        EXPECT_EQ(w.btnTakes[s]->text(), QStringLiteral("座る"));
        for (QPushButton* b : {w.btnTakes[s], w.btnB2Ts[s], w.btnT2Ys[s]})
            EXPECT_EQ(b->property("Tag").toInt(), s);
    }
    for (int i = 0; i < TForm1::SlotCount; ++i) {
        EXPECT_EQ(w.Images[i]->objectName(), QStringLiteral("Image%1").arg(i));
        EXPECT_EQ(w.lblCards[i]->objectName(), QStringLiteral("lblCard%1").arg(i));
    }
    // Seats 0, 2 and 4 along the top, 1, 3 and 5 below; slots six to a row.
    EXPECT_EQ(w.lblTNames[3]->pos(), QPoint(424, 96));
    EXPECT_EQ(w.btnT2Ys[4]->geometry(), QRect(712, 56, 49, 17));
    EXPECT_EQ(w.Images[7]->geometry(), QRect(120, 328, 89, 129));
    EXPECT_EQ(w.lblCards[5]->pos(), QPoint(504, 304));
    for (const char* name : {"lblName", "edtName", "lblAddress", "edtAddress", "btnConnect", "btnDisconnect",
                             "btnVersion", "Panel1", "Panel2", "edtMessage", "btnSend", "mmChat", "lstPlayers",
                             "btnInit", "lblNokori", "lblYamafuda", "btnDraw", "lblMDisp", "edtMokuteki",
                             "lblMokuteki", "lblMName", "btnSet", "btnB2Y", "lblHit", "btnHit", "btnHele"})
        EXPECT_NE(w.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
}

TEST(ClientAssets, AreFoundBesideTheProgramFromAnyWorkingDirectory)
{
    test::ReportRecorder reports;
    QTemporaryDir elsewhere;
    WorkingDirectory cd(elsewhere.path());
    Player player;
    EXPECT_TRUE(reports.reports.empty());
    EXPECT_EQ(player.window->AssetDirectory, QCoreApplication::applicationDirPath());
    QFile draw(AssetPath(ProgramDirectory(), QStringLiteral("draw.wav")));
    ASSERT_TRUE(draw.open(QIODevice::ReadOnly));
    EXPECT_EQ(player.window->sndDraw, draw.readAll());
    for (const QByteArray* sound : {&player.window->sndJoin, &player.window->sndHit, &player.window->sndMessage,
                                    &player.window->sndHele})
        EXPECT_FALSE(sound->isEmpty());
}

TEST(ClientAssets, AMissingDrawSoundIsReportedOnceAndSilencesItAndTheRest)
{
    QTemporaryDir dir;
    CopySoundsExcept(dir, "draw.wav");
    test::ReportRecorder reports;
    RecordingServer server;
    Player player(dir.path());
    ASSERT_EQ(reports.reports.size(), 1u);
    EXPECT_TRUE(reports.Contains(QStringLiteral("draw.wav"))) << reports.reports[0].text.toStdString();
    for (const QByteArray* sound : {&player.window->sndDraw, &player.window->sndJoin, &player.window->sndHit,
                                    &player.window->sndMessage, &player.window->sndHele})
        EXPECT_TRUE(sound->isEmpty());
    EXPECT_EQ(player.window->FlashInfo.Window, nullptr);

    // The window works all the same, silently.
    ASSERT_TRUE(player.Connect(QStringLiteral("KENJ"), server.Port()));
    ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 1; }));
    server.Send(Nul("hello"));
    ASSERT_TRUE(WaitUntil([&] { return player.ChatLines() == QStringList{QStringLiteral("hello")}; }));
    EXPECT_TRUE(player.Sounds().isEmpty());
    EXPECT_EQ(reports.reports.size(), 1u);
}

TEST(ClientAssets, AMissingReactionSoundLeavesTheOthersButNoFlash)
{
    QTemporaryDir dir;
    CopySoundsExcept(dir, "hele.wav");
    test::ReportRecorder reports;
    Player player(dir.path());
    EXPECT_EQ(reports.reports.size(), 1u);
    EXPECT_TRUE(reports.Contains(QStringLiteral("hele.wav")));
    EXPECT_TRUE(player.window->sndHele.isEmpty());
    EXPECT_FALSE(player.window->sndMessage.isEmpty());
    EXPECT_EQ(player.window->FlashInfo.Window, nullptr);
}

TEST(ClientSounds, WaveImagesAreReadFromTheirChunksAndBrokenOnesRefused)
{
    QFile file(AssetPath(ProgramDirectory(), QStringLiteral("hit.wav")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray image = file.readAll();
    const auto wave = ParseWave(image);
    ASSERT_TRUE(wave.has_value());
    EXPECT_EQ(wave->format.sampleRate(), 22050);
    EXPECT_EQ(wave->format.channelCount(), 1);
    EXPECT_EQ(wave->format.sampleFormat(), QAudioFormat::Int16);
    EXPECT_EQ(wave->dataOffset, 44);
    EXPECT_EQ(wave->dataSize, image.size() - 44);

    EXPECT_FALSE(ParseWave(image.left(60)).has_value()) << "data chunk cut short";
    EXPECT_FALSE(ParseWave(image.left(11)).has_value());
    EXPECT_FALSE(ParseWave(QByteArray("RIFF\0\0\0\0WAVEdata\0\0\0\0", 20)).has_value()) << "data before fmt";
    QByteArray floatFormat = image;
    floatFormat[20] = 3;
    EXPECT_FALSE(ParseWave(floatFormat).has_value());

    // Playing works without a sound device, and plays nothing when empty.
    TSoundPlayer player;
    int started = 0;
    player.OnPlay = [&](const QByteArray&) { ++started; };
    player.Play(image);
    player.Play(image);
    player.Play(QByteArray());
    EXPECT_EQ(started, 2);
}

TEST(ClientVersion, ShowsTheFileVersionOfTheProgramsBlockOrNoneWhenItCannotBeRead)
{
    EXPECT_EQ(QueryVersionString("\\StringFileInfo\\041103A4\\ProductVersion"), QStringLiteral("1.0.0.0"));
    EXPECT_EQ(QueryVersionString("\\StringFileInfo\\041103A4\\FileVersion"), QStringLiteral("0.2.0.0"));
    EXPECT_FALSE(QueryVersionString("\\StringFileInfo\\040904B0\\FileVersion").has_value());
    EXPECT_FALSE(QueryVersionString("\\StringFileInfo\\041103A4\\File").has_value());

    EXPECT_EQ(TForm2().lblVersion->text(), QStringLiteral("Ver. 0.2.0.0"));
    EXPECT_EQ(TForm2(nullptr, "").lblVersion->text(), QStringLiteral("Ver. "));
    EXPECT_EQ(TForm2(nullptr, "\\StringFileInfo\\041103A4\\FileVersion=\n").lblVersion->text(),
              QStringLiteral("Ver. "));
}

TEST(ClientVersion, OpensFromTheMainWindowAndClosesWithOkOrEnter)
{
    Player player;
    TForm2 dialog(player.window.get());
    player.window->Form2 = &dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("バージョン情報"));
    EXPECT_EQ(dialog.size(), QSize(439, 174));
    for (bool enter : {false, true}) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            seen = dialog.isVisible();
            if (enter)
                QTest::keyClick(&dialog, Qt::Key_Return);
            else
                QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
        });
        QTest::mouseClick(player.window->btnVersion, Qt::LeftButton);
        EXPECT_TRUE(seen);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.ModalResult(), mrOk);
    }
}

TEST(ClientVersion, LinksOpenTheirAddressesOnTheDesktop)
{
    LinkRecorder links;
    TForm2 dialog;
    dialog.show();
    for (TLinkLabel* link : {dialog.lblMail, dialog.lblGraphicMail, dialog.lblGraphicURL}) {
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        EXPECT_TRUE(link->font().underline());
        QTest::mouseClick(link, Qt::LeftButton);
    }
    EXPECT_EQ(links.opened, (QStringList{QStringLiteral("mailto:kivol@example.org"),
                                         QStringLiteral("mailto:art@example.org"),
                                         QStringLiteral("https://www.example.org/kivol/")}));
}

#include "start_up_and_assets_test.moc"
