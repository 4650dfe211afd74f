// The main window's starting texts, its sounds and taskbar-flash request, its
// shutdown, and the version dialog it opens.
#include <QAction>
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

    btnConnect->setText(tr("接続"));
    btnDisconnect->setText(tr("切断"));
    btnDraw->setText(tr("ひく"));
    btnB2Y->setText(tr("場札->山札"));
    btnVersion->setText(tr("バージョン情報(&A)"));
    btnSend->setText(tr("発言"));
    lblYamafuda->setText(tr("山札"));

    mmChat->Clear();

    btnSet->setText(tr("指定"));
    btnHele->setText(tr("へぇ～"));
    for (int s = 0; s < SeatCount; ++s) {
        btnTakes[s]->setText(tr("座る"));
        btnB2Ts[s]->setText(tr("取る"));
        btnT2Ys[s]->setText(tr("戻す"));
    }
    btnInit->setText(tr("新ゲーム"));
    btnHit->setText(tr("叩く！(&H)"));
    btnShowAnswer->setText(tr("答えを見る"));
    btnTables->setText(tr("テーブル一覧"));
    btnDeal->setText(tr("対局"));
    btnStopDeal->setText(tr("対局をやめる"));
    btnPractice->setText(tr("練習…"));
    btnOneMore->setText(tr("もう一局"));
    btnCloseStandings->setText(tr("閉じる"));
    btnNames->setText(tr("名前・成績"));
    btnNames->setToolTip(tr("名前の登録と、このサーバーの成績のページ"));
    actRegister->setText(tr("名前を登録"));
    actNameKey->setText(tr("名前の鍵…"));
    actLeaderboard->setText(tr("成績：ランキング"));
    actOwnPage->setText(tr("成績：自分のページ"));

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
