#pragma once

#include <QSystemTrayIcon>
#include <QWidget>
#include <memory>

#include "platform/ansi_string.h"
#include "server/connection_log.h"
#include "server/game_server.h"
#include "server/server_options.h"
#include "transport/packet_server_socket.h"

class QListWidget;
class QPlainTextEdit;
class QPushButton;

// The operator's window: the roster of players, the log, and three buttons
// to disconnect a player, remove a stale roster entry and put the window away.
// The game itself is the TGameServer behind the socket; this window shows the
// rosters of its tables (one row per entry: the main table's entries first,
// then each other table's in the order the tables were made, each in roster
// order, a row of another table naming it) and passes on its clicks.
class TForm1 : public QWidget {
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

    TPacketServerSocket PacketServerSocket1;
    QListWidget* lstPlayers;
    QPushButton* btnKill;
    QPlainTextEdit* mmLog;
    QPushButton* btnClear;
    QPushButton* btnMinimize;
    TGameServer Game;
    // The connect and disconnect lines, with host names looked up off the
    // event thread.
    TConnectionLog ConnectionLog;

private:
    void PacketServerSocket1ClientConnect(TObject* aSender, TCustomWinSocket* aSocket);
    void PacketServerSocket1ClientDisconnect(TObject* aSender, TCustomWinSocket* aSocket);
    // A click on the notification icon: the left button brings the window back.
    void WMTrayNotify(QSystemTrayIcon::ActivationReason reason);
    // A failure of the listening socket (accepting): logged, never a box.
    void PacketServerSocket1Error(TErrorEvent errorEvent, int& errorCode);
    // The list follows the table's roster entry for entry.
    void FollowRoster(TGameTable& table);
    // The row of the table's first entry.
    int FirstRow(const TGameTable& table) const;
    // A roster entry as its row shows it: the table's name unless it is the
    // main one, the name, and a mark when the entry is away.
    QString RowText(const TGameTable& table, const TRosterEntry& entry) const;
    // The table and roster index of the selected row; a null table for none.
    std::pair<TGameTable*, int> SelectedEntry() const;

    std::unique_ptr<QSystemTrayIcon> TrayIcon;
    TServerOptions Options;
    // The tables whose entries the list shows, in the list's order.
    std::vector<TGameTable*> listedTables_;
};
