#include "server/server_window.h"

#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "platform/address_pattern.h"
#include "platform/application.h"
#include "platform/cp932.h"
#include "platform/date_time_text.h"
#include "platform/form.h"
#include "protocol/player_name.h"
#include "server/listening_lines.h"
#include "server/log_output.h"
#include "server/web_admission.h"

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
      btnKick(MakeButton(this, "btnKick", QStringLiteral("Kick"), QRect(222, 136, 68, 25))),
      btnBan(MakeButton(this, "btnBan", QStringLiteral("Ban"), QRect(222, 104, 68, 25))),
      btnMute(MakeButton(this, "btnMute", QStringLiteral("Mute"), QRect(222, 72, 68, 25))),
      Game(PacketServerSocket1, [this](const AnsiString& message) { AddLog(message); }, options.Rules),
      Operator(Game, [this](const AnsiString& message) { AddLog(message); }),
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
    setTabOrder(btnMinimize, btnMute);
    setTabOrder(btnMute, btnBan);
    setTabOrder(btnBan, btnKick);

    ConnectHandler(btnKill, &QPushButton::clicked, [this] { btnKillClick(); });
    ConnectHandler(btnClear, &QPushButton::clicked, [this] { btnClearClick(); });
    ConnectHandler(btnMinimize, &QPushButton::clicked, [this] { btnMinimizeClick(); });
    ConnectHandler(btnKick, &QPushButton::clicked, [this] { btnKickClick(); });
    ConnectHandler(btnBan, &QPushButton::clicked, [this] { btnBanClick(); });
    ConnectHandler(btnMute, &QPushButton::clicked, [this] { btnMuteClick(); });

    // The list of players is the window's: headless, nobody sees it, and no
    // join or leave keeps it up to date.
    if (!Application.Headless) {
        FollowRoster(Game.Main());
        Game.OnTableAdded = [this](TGameTable& table) { FollowRoster(table); };
        Game.OnTableRemoved = [this](TGameTable& table) { rosterRows_.Remove(table); };
    }

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
    WebPort.reset();
    // Connections close while the game and the log they report to still exist.
    PacketServerSocket1.SetActive(false);
}

bool TForm1::FormCreate()
{
    try {
        PacketServerSocket1.SetAddress(Options.ListenAddress.toStdString());
        PacketServerSocket1.SetPort(Options.Port);
        PacketServerSocket1.SetActive(true);
    } catch (const std::exception&) {
        Application.MessageBox(QStringLiteral("ポートの確保に失敗しました。終了します"), QStringLiteral("警告"),
                               MB_OK | MB_ICONWARNING);
        return false;
    }
    // The web port listens on the game port's addresses.
    const std::string address(PacketServerSocket1.Socket()->LocalAddress());
    AddLog(Cp932::FromUtf8(ListeningLines::Game(address, PacketServerSocket1.Socket()->LocalPort())));
    if (Options.Web.Port == 0)
        return true;
    TWebRouteHooks hooks;
    hooks.ListTables = [this] { return Game.ListedTables(); };
    hooks.AcceptingPlayers = [] { return true; };
    AdmitWebPlayers(hooks, Game);
    hooks.Records = Game.RecordStore();
    // The metrics, to loopback peers and those the operator allowed.
    hooks.Metrics = [this](const QHostAddress& peer) -> std::optional<QByteArray> {
        const auto ip = ReadIpAddress(peer.toString().toStdString());
        const bool allowed = ip && (ip->IsLoopback() || std::any_of(Options.MetricsAllow.begin(),
                                                                     Options.MetricsAllow.end(),
                                                                     [&](const TAddressPattern& p) { return p.Matches(*ip); }));
        if (!allowed)
            return std::nullopt;
        return QByteArray::fromStdString(Operator.MetricsText());
    };
    TPacketConnectionOwner& owner = *this;
    WebPort = std::make_unique<TWebPort>(Options.Web, owner, hooks, [this](const AnsiString& line) { AddLog(line); });
    const QString problem = WebPort->Start(Options.ListenAddress);
    if (problem.isEmpty()) {
        AddLog(Cp932::FromUtf8(ListeningLines::Web(address, WebPort->Port(), WebPort->Secure())));
        Game.ServeSite(Options.PublicUrl, WebPort->Port(), WebPort->Secure());
        return true;
    }
    WebPort.reset();
    Application.MessageBox(QStringLiteral("ウェブポートの確保に失敗しました。終了します（%1）").arg(problem),
                           QStringLiteral("警告"), MB_OK | MB_ICONWARNING);
    return false;
}

void TForm1::ConnectionOpened(TPacketConnection* connection)
{
    ConnectionLog.Connected(connection, connection->PeerAddress());
    Game.ConnectionOpened(connection);
}

void TForm1::PacketArrived(TPacketConnection* connection, const void* data, int size)
{
    Game.PacketArrived(connection, data, size);
}

void TForm1::ConnectionClosed(TPacketConnection* connection)
{
    Game.ConnectionClosed(connection);
    ConnectionLog.Disconnected(connection, connection->PeerAddress());
}

void TForm1::FormDestroy()
{
    if (TrayIcon)
        TrayIcon->hide();
}

void TForm1::AddLog(const AnsiString& message)
{
    const QString line = Cp932::Decode(DateTimeText::Now()) + QStringLiteral("  ") + Cp932::Decode(message);
    // Headless, nobody sees the window: the line goes to standard output only,
    // and no text document is built, laid out or trimmed for it.
    if (Application.Headless)
        WriteLogLine(stdout, line, TLogPriority::Info);
    else
        mmLog->appendPlainText(line);
}

void TForm1::PacketServerSocket1ClientConnect(TObject*, TCustomWinSocket* aSocket)
{
    ConnectionLog.Connected(aSocket, aSocket->RemoteAddress());
}

void TForm1::PacketServerSocket1ClientDisconnect(TObject*, TCustomWinSocket* aSocket)
{
    ConnectionLog.Disconnected(aSocket, aSocket->RemoteAddress());
}

void TForm1::PacketServerSocket1Error(TErrorEvent errorEvent, int& errorCode)
{
    AddLog(Cp932::FromUtf8("/エラー  " + SocketErrorMessage(errorCode, ErrorEventName(errorEvent))));
    errorCode = 0;
}

void TForm1::FollowRoster(TGameTable& table)
{
    rosterRows_.Add(table, 0);
    table.Roster.OnAdded = [this, &table](int index, const AnsiString&) {
        lstPlayers->insertItem(rosterRows_.FirstRow(table) + index, RowText(table, table.Roster.Entry(index)));
        rosterRows_.Change(table, +1);
    };
    table.Roster.OnDeleted = [this, &table](int index) {
        delete lstPlayers->takeItem(rosterRows_.FirstRow(table) + index);
        rosterRows_.Change(table, -1);
    };
    table.Roster.OnChanged = [this, &table](int index, const TRosterEntry& entry) {
        // An away row keeps its name and is greyed with a mark, so the
        // operator sees whose connection dropped and may still come back.
        QListWidgetItem* row = lstPlayers->item(rosterRows_.FirstRow(table) + index);
        if (!row)
            return;
        row->setText(RowText(table, entry));
        row->setForeground(entry.Away ? palette().brush(QPalette::Disabled, QPalette::Text)
                                      : palette().brush(QPalette::Active, QPalette::Text));
    };
}

QString TForm1::RowText(const TGameTable& table, const TRosterEntry& entry) const
{
    QString text = Cp932::Decode(entry.Name);
    if (!table.IsMain())
        text = QStringLiteral("「%1」").arg(Cp932::Decode(table.Name())) + text;
    return entry.Away ? text + QStringLiteral(" (不在)") : text;
}

std::pair<TGameTable*, int> TForm1::SelectedEntry() const
{
    const QListWidgetItem* item = lstPlayers->currentItem();
    const int row = item && item->isSelected() ? lstPlayers->row(item) : -1;
    return rosterRows_.At(row);
}

void TForm1::btnKillClick()
{
    if (const auto [table, index] = SelectedEntry(); table)
        table->KillPlayer(index);
}

void TForm1::btnClearClick()
{
    if (const auto [table, index] = SelectedEntry(); table)
        Game.ClearRosterEntry(*table, index);
}

void TForm1::RunOnSelected(
    std::string_view verb,
    const std::function<Control::TControlCommand(const AnsiString& name, const AnsiString& table)>& command)
{
    const auto [table, index] = SelectedEntry();
    if (!table)
        return;
    const Control::TControlCommand chosen = command(Protocol::TrimmedName(table->Roster[index]), table->Name());
    AddLog(Cp932::FromUtf8("control: uid " + std::to_string(getuid()) + " (window): " + std::string(verb) + " ") +
           Protocol::TrimmedName(table->Roster[index]));
    const Control::TControlAnswer answer = Operator.Run(chosen, getuid());
    if (!answer.Ok)
        AddLog(Cp932::FromUtf8(answer.Text));
}

void TForm1::btnKickClick()
{
    RunOnSelected("kick", [](const AnsiString& name, const AnsiString& table) {
        return Control::TKickCommand{name, table, {}};
    });
}

void TForm1::btnBanClick()
{
    RunOnSelected("ban", [](const AnsiString& name, const AnsiString&) { return Control::TBanCommand{name, 0, {}}; });
}

void TForm1::btnMuteClick()
{
    RunOnSelected("mute", [](const AnsiString& name, const AnsiString&) { return Control::TMuteCommand{name, 0}; });
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
