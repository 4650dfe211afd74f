#include "client_test_support.h"

#include <sys/socket.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "client/table_list_dialog.h"

#include "platform/cp932.h"

namespace client_test {

AnsiString Sjis(std::string_view utf8)
{
    return Cp932::FromUtf8(utf8);
}

QStringList ListedTables(const TForm1& window)
{
    QStringList rows;
    const QTableWidget* grid = window.TablesDialog->grdTables;
    for (int r = 0; r < grid->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid->columnCount(); ++c)
            cells << grid->item(r, c)->text();
        rows << cells.join(u'|');
    }
    return rows;
}

void TypeText(QWidget* widget, const QString& text)
{
    for (QChar character : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(character), Qt::NoModifier);
}

GameServer::GameServer()
{
    socket.SetAddress("127.0.0.1");
    socket.SetActive(true);
    port_ = socket.Socket()->LocalPort();
}

ClockedGameServer::ClockedGameServer(unsigned seed) : engine_(seed)
{
    game.SetRandomEngine(engine_);
    game.Now = [this] { return clock_; };
}

void ClockedGameServer::Advance(std::chrono::milliseconds by)
{
    clock_ += by;
    game.WakeTables();
}

void ClockedGameServer::Follow(TForm1& window)
{
    window.Now = [this] { return clock_; };
}

void OpenPractice(Player& player, const QString& name, int port)
{
    TForm1& window = *player.window;
    window.ServerPort = port;
    window.edtName->setText(name);
    window.edtAddress->setText(QStringLiteral("127.0.0.1"));
    QTest::mouseClick(window.btnPractice, Qt::LeftButton);
}

RecordingServer::RecordingServer()
{
    socket.OnPacketArrived = [this](TObject*, TCustomWinSocket*, const void* data, int size) {
        packets.emplace_back(static_cast<const char*>(data), static_cast<std::size_t>(size));
    };
    socket.SetAddress("127.0.0.1");
    socket.SetActive(true);
    port_ = socket.Socket()->LocalPort();
}

void RecordingServer::Send(std::string_view payload)
{
    socket.SendToAll(payload.data(), static_cast<int>(payload.size()));
}

bool RecordingServer::WaitForPackets(std::size_t count)
{
    return test::WaitUntil([&] { return packets.size() >= count; }, WaitMs);
}

Player::Player(const QString& assetDirectory) : window(std::make_unique<TForm1>(assetDirectory))
{
    const std::pair<const char*, const QByteArray*> buffers[] = {
        {"join", &window->sndJoin}, {"draw", &window->sndDraw}, {"hit", &window->sndHit},
        {"message", &window->sndMessage}, {"hele", &window->sndHele},
    };
    window->SoundPlayer.OnPlay = [this, buffers](const QByteArray& image) {
        for (const auto& [name, buffer] : buffers)
            if (&image == buffer)
                sounds_ << QString::fromLatin1(name);
    };
    window->NameKeys.UseFile(SettingsFile());
    window->show();
}

bool Player::Connect(const QString& name, int port)
{
    window->ServerPort = port;
    window->edtName->setText(name);
    window->edtAddress->setText(QStringLiteral("127.0.0.1"));
    QTest::mouseClick(window->btnConnect, Qt::LeftButton);
    return test::WaitUntil([&] { return window->btnDisconnect->isEnabled(); }, WaitMs);
}

std::string ScriptedPeer::ReadPacket()
{
    const std::string header = peer_.Read(4, WaitMs);
    if (header.size() < 4)
        return "(nothing)";
    std::size_t size = 0;
    for (int i = 3; i >= 0; --i)
        size = size * 256 + static_cast<unsigned char>(header[static_cast<std::size_t>(i)]);
    return peer_.Read(size, WaitMs);
}

void ScriptedPeer::Send(std::initializer_list<std::string> texts)
{
    for (const std::string& text : texts)
        peer_.Write(test::Packet(Nul(text)));
}

void ScriptedPeer::SendAndWait(Player& player, std::initializer_list<std::string> texts)
{
    Send(texts);
    Send({"marker"});
    ASSERT_TRUE(test::WaitUntil([&] { return player.ChatLines().value(0) == QStringLiteral("marker"); }, WaitMs));
    player.window->mmChat->Clear();
}

void ScriptedPeer::ShutDown()
{
    ::shutdown(peer_.Handle(), SHUT_RDWR);
}

}  // namespace client_test
