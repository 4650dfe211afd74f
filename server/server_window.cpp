#include "server/server_window.h"

#include <QApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "platform/application.h"
#include "platform/cp932.h"
#include "platform/date_time_text.h"
#include "platform/form.h"
#include "server/log_output.h"

namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, const QRect& geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    return button;
}

}  // namespace

TForm1::TForm1(const TServerOptions& options, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      lstPlayers(new QListWidget(this)),
      btnKill(MakeButton(this, "btnKill", QStringLiteral("Kill"), QRect(136, 136, 81, 25))),
      mmLog(new QPlainTextEdit(this)),
      btnClear(MakeButton(this, "btnClear", QStringLiteral("Clear"), QRect(136, 104, 81, 25))),
      btnMinimize(MakeButton(this, "btnMinimize", QStringLiteral("Minimize"), QRect(176, 16, 97, 25))),
      Game(PacketServerSocket1, [this](const AnsiString& message) { AddLog(message); }, options.Rules),
      ConnectionLog([this](const AnsiString& message) { AddLog(message); }),
      Options(options)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kivolサーバー"));
    setFont(TForm::GameFont());
    setFixedSize(628, 167);

    lstPlayers->setObjectName(QStringLiteral("lstPlayers"));
    lstPlayers->setGeometry(8, 8, 121, 153);
    lstPlayers->setSelectionMode(QAbstractItemView::SingleSelection);

    mmLog->setObjectName(QStringLiteral("mmLog"));
    mmLog->setGeometry(296, 8, 321, 153);
    mmLog->setReadOnly(true);
    mmLog->setMaximumBlockCount(MaxLogLines);
    mmLog->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mmLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mmLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    setTabOrder(lstPlayers, btnKill);
    setTabOrder(btnKill, mmLog);
    setTabOrder(mmLog, btnClear);
    setTabOrder(btnClear, btnMinimize);

    ConnectHandler(btnKill, &QPushButton::clicked, [this] { btnKillClick(); });
    ConnectHandler(btnClear, &QPushButton::clicked, [this] { btnClearClick(); });
    ConnectHandler(btnMinimize, &QPushButton::clicked, [this] { btnMinimizeClick(); });

    // The list's rows follow the roster entry for entry, so a row's index is
    // the entry's index.
    Game.Roster.OnAdded = [this](int index, const AnsiString& name) {
        lstPlayers->insertItem(index, Cp932::Decode(name));
    };
    Game.Roster.OnDeleted = [this](int index) { delete lstPlayers->takeItem(index); };
    Game.Roster.OnChanged = [this](int index, const TRosterEntry& entry) { ShowAway(index, entry.Away); };

    PacketServerSocket1.OnPacketArrived = [this](TObject* sender, TCustomWinSocket* socket, const void* data,
                                                 int size) { PacketServerSocket1PacketArrived(sender, socket, data, size); };
    PacketServerSocket1.OnClientConnect = [this](TObject* sender, TCustomWinSocket* socket) {
        PacketServerSocket1ClientConnect(sender, socket);
    };
    PacketServerSocket1.OnClientDisconnect = [this](TObject* sender, TCustomWinSocket* socket) {
        PacketServerSocket1ClientDisconnect(sender, socket);
    };
    PacketServerSocket1.OnError = [this](TObject*, TCustomWinSocket*, TErrorEvent errorEvent, int& errorCode) {
        PacketServerSocket1Error(errorEvent, errorCode);
    };
}

TForm1::~TForm1()
{
    FormDestroy();
    // Connections close while the game and the log they report to still exist.
    PacketServerSocket1.SetActive(false);
}

bool TForm1::FormCreate()
{
    try {
        PacketServerSocket1.SetAddress(Options.ListenAddress.toStdString());
        PacketServerSocket1.SetPort(Options.Port);
        PacketServerSocket1.SetActive(true);
        return true;
    } catch (const std::exception&) {
        Application.MessageBox(QStringLiteral("ポートの確保に失敗しました。終了します"), QStringLiteral("警告"),
                               MB_OK | MB_ICONWARNING);
        return false;
    }
}

void TForm1::FormDestroy()
{
    if (TrayIcon)
        TrayIcon->hide();
}

void TForm1::AddLog(const AnsiString& message)
{
    const QString line = Cp932::Decode(DateTimeText::Now()) + QStringLiteral("  ") + Cp932::Decode(message);
    mmLog->appendPlainText(line);
    if (Application.Headless)
        WriteLogLine(stdout, line, TLogPriority::Info);
}

void TForm1::PacketServerSocket1PacketArrived(TObject*, TCustomWinSocket* aSocket, const void* data, int aSize)
{
    Game.PacketArrived(aSocket, data, aSize);
}

void TForm1::PacketServerSocket1ClientConnect(TObject*, TCustomWinSocket* aSocket)
{
    ConnectionLog.Connected(aSocket, aSocket->RemoteAddress());
}

void TForm1::PacketServerSocket1ClientDisconnect(TObject*, TCustomWinSocket* aSocket)
{
    Game.ClientDisconnected(aSocket);
    ConnectionLog.Disconnected(aSocket, aSocket->RemoteAddress());
}

void TForm1::PacketServerSocket1Error(TErrorEvent errorEvent, int& errorCode)
{
    AddLog(Cp932::FromUtf8("/エラー  " + SocketErrorMessage(errorCode, ErrorEventName(errorEvent))));
    errorCode = 0;
}

void TForm1::ShowAway(int index, bool away)
{
    // An away row keeps its name and is greyed with a mark, so the operator
    // sees whose connection dropped and may still come back.
    QListWidgetItem* row = lstPlayers->item(index);
    if (!row)
        return;
    const QString name = Cp932::Decode(Game.Roster[index]);
    row->setText(away ? name + QStringLiteral(" (不在)") : name);
    row->setForeground(away ? palette().brush(QPalette::Disabled, QPalette::Text)
                            : palette().brush(QPalette::Active, QPalette::Text));
}

int TForm1::SelectedIndex() const
{
    const QListWidgetItem* item = lstPlayers->currentItem();
    return item && item->isSelected() ? lstPlayers->row(item) : -1;
}

void TForm1::btnKillClick()
{
    Game.KillPlayer(SelectedIndex());
}

void TForm1::btnClearClick()
{
    Game.ClearRosterEntry(SelectedIndex());
}

void TForm1::btnMinimizeClick()
{
    // Hidden, the window comes back only through the notification icon; where
    // there is no notification area it is minimised instead.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        showMinimized();
        return;
    }
    if (!TrayIcon) {
        TrayIcon = std::make_unique<QSystemTrayIcon>(QApplication::windowIcon());
        QObject::connect(TrayIcon.get(), &QSystemTrayIcon::activated, this,
                         [this](QSystemTrayIcon::ActivationReason reason) { WMTrayNotify(reason); });
    }
    TrayIcon->setToolTip(Application.Title);
    TrayIcon->show();
    hide();
}

void TForm1::WMTrayNotify(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::Trigger)
        return;
    show();
    TrayIcon->hide();
}
