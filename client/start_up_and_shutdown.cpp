// The main window's starting texts, its sounds and taskbar-flash request, its
// shutdown, and the version dialog it opens.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <exception>

#include "client/main_window.h"
#include "client/version_dialog.h"
#include "platform/application.h"

TForm1::~TForm1()
{
    disconnect(focusChanged_);
    FormDestroy();
}

void TForm1::FormCreate()
{
    edtName->clear();
    edtAddress->clear();
    edtMessage->clear();
    edtMokuteki->setText(QStringLiteral("47"));
    pcs.SetMaxRecvSize(MaxRecvBytes);

    btnConnect->setText(QStringLiteral("接続"));
    btnDisconnect->setText(QStringLiteral("切断"));
    btnDraw->setText(QStringLiteral("ひく"));
    btnB2Y->setText(QStringLiteral("場札->山札"));
    btnVersion->setText(QStringLiteral("バージョン情報(&A)"));
    btnSend->setText(QStringLiteral("発言"));
    lblYamafuda->setText(QStringLiteral("山札"));

    mmChat->Clear();

    btnSet->setText(QStringLiteral("指定"));
    btnHele->setText(QStringLiteral("へぇ～"));
    for (int s = 0; s < SeatCount; ++s) {
        btnTakes[s]->setText(QStringLiteral("座る"));
        btnB2Ts[s]->setText(QStringLiteral("取る"));
        btnT2Ys[s]->setText(QStringLiteral("戻す"));
    }
    btnInit->setText(QStringLiteral("新ゲーム"));
    btnHit->setText(QStringLiteral("叩く！(&H)"));
    btnShowAnswer->setText(QStringLiteral("答えを見る"));
    btnTables->setText(QStringLiteral("テーブル一覧"));

    RenderTable();

    // A sound that cannot be read is reported once; it and the sounds after it
    // stay silent and the taskbar never flashes, but the window works.
    try {
        LoadSounds();
    } catch (const std::exception& e) {
        Application.HandleException(e);
        return;
    }
    FlashInfo.Window = this;
}

void TForm1::LoadSounds()
{
    const std::pair<const char*, QByteArray*> sounds[] = {
        {"draw.wav", &sndDraw}, {"join.wav", &sndJoin}, {"hit.wav", &sndHit},
        {"message.wav", &sndMessage}, {"hele.wav", &sndHele},
    };
    for (const auto& [fileName, buffer] : sounds)
        *buffer = ReadAssetFile(AssetPath(AssetDirectory, QString::fromLatin1(fileName)));
}

void TForm1::FormDestroy()
{
    // Closing the window while connected leaves the room as Disconnect does.
    if (btnDisconnect->isEnabled())
        DispatchSafely([this] { btnDisconnectClick(); });
}

void TForm1::FlashTaskbar()
{
    if (FlashInfo.Window)
        QApplication::alert(FlashInfo.Window, 0);
}

void TForm1::btnVersionClick()
{
    if (Form2)
        Form2->ShowModal();
}
