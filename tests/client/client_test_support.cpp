#include "client_test_support.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "platform/cp932.h"

namespace client_test {

AnsiString Sjis(std::string_view utf8)
{
    return Cp932::FromUtf8(utf8);
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

}  // namespace client_test
