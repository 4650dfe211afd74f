#pragma once

#include <QSystemTrayIcon>
#include <QWidget>
#include <memory>

#include "platform/ansi_string.h"
#include "server/connection_log.h"
#include "server/game_server.h"
#include "server/operator_commands.h"
#include "server/grouped_rows.h"
#include "server/server_options.h"
#include "transport/packet_server_socket.h"
#include "web_port/web_port.h"

class QListWidget;
class QPlainTextEdit;
class QPushButton;

// The operator's window: the roster of players, the log, and three buttons
// to disconnect a player, remove a stale roster entry and put the window away.
// The game itself is the TGameServer behind the socket; this window shows the
// rosters of its tables (one row per entry: the main table's entries first,
// then each other table's in the order the tables were made, each in roster
// order, a row of another table naming it) and passes on its clicks.
class TForm1 : public QWidget, private TPacketConnectionOwner {
public:
    static constexpr int GamePort = DefaultGamePort;

    explicit TForm1(const TServerOptions& options = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    // Listens on the options' port and address. False, after telling the
    // operator, when the port cannot be had: the program then ends without
    // serving.
    bool FormCreate();
    void FormDestroy();

    // The log keeps the newest lines only, so that a server running for
    // weeks does not grow without bound.
    static constexpr int MaxLogLines = 10000;

    // Appends "<date-time>  <message>" to the log; message is Shift-JIS. A
    // headless server also writes the line to standard output.
    void AddLog(const AnsiString& message);

    void btnKillClick();
    void btnClearClick();
    void btnMinimizeClick();
    // The operator's Kick, Ban (the name, until lifted) and Mute of the
    // selected row, as kivolctl would ask them.
    void btnKickClick();
    void btnBanClick();
    void btnMuteClick();

    TPacketServerSocket PacketServerSocket1;
    QListWidget* lstPlayers;
    QPushButton* btnKill;
    QPlainTextEdit* mmLog;
    QPushButton* btnClear;
    QPushButton* btnMinimize;
    QPushButton* btnKick;
    QPushButton* btnBan;
    QPushButton* btnMute;
    TGameServer Game;
    // The operator's commands, for the control socket and the buttons alike.
    TOperatorCommands Operator;
    // The connect and disconnect lines, with host names looked up off the
    // event thread.
    TConnectionLog ConnectionLog;
    // The browser client and its WebSocket players; none with --web-port 0.
    std::unique_ptr<TWebPort> WebPort;

private:
    // A WebSocket player's connection is logged as a TCP one is, then
    // goes to the game.
    void ConnectionOpened(TPacketConnection* connection) override;
    void PacketArrived(TPacketConnection* connection, const void* data, int size) override;
    void ConnectionClosed(TPacketConnection* connection) override;
    void PacketServerSocket1ClientConnect(TObject* aSender, TCustomWinSocket* aSocket);
    void PacketServerSocket1ClientDisconnect(TObject* aSender, TCustomWinSocket* aSocket);
    // A click on the notification icon: the left button brings the window back.
    void WMTrayNotify(QSystemTrayIcon::ActivationReason reason);
    // A failure of the listening socket (accepting): logged, never a box.
    void PacketServerSocket1Error(TErrorEvent errorEvent, int& errorCode);
    // The list follows the table's roster entry for entry.
    void FollowRoster(TGameTable& table);
    // A roster entry as its row shows it: the table's name unless it is the
    // main one, the name, and a mark when the entry is away.
    QString RowText(const TGameTable& table, const TRosterEntry& entry) const;
    // The table and roster index of the selected row; a null table for none.
    std::pair<TGameTable*, int> SelectedEntry() const;
    // Runs command on the selected row's name and table, logged as the operator's.
    void RunOnSelected(std::string_view verb,
                       const std::function<Control::TControlCommand(const AnsiString& name, const AnsiString& table)>&
                           command);

    std::unique_ptr<QSystemTrayIcon> TrayIcon;
    TServerOptions Options;
    // Where each table's entries stand in the list.
    TGroupedRows<TGameTable> rosterRows_;
};
