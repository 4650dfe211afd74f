#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "client/asset_files.h"
#include "client/chat_memo.h"
#include "client/dealt_game.h"
#include "client/name_keys.h"
#include "client/reconnector.h"
#include "client/records_site.h"
#include "client/server_address.h"
#include "client/sound_player.h"
#include "client/table_list.h"
#include "client/table_model.h"
#include "client/table_place.h"
#include "client/window_timer.h"
#include "platform/ansi_string.h"
#include "transport/packet_client_socket.h"

class QCheckBox;
class QFrame;
class QLabel;
class QAction;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class TDealDialog;
class TNameKeyDialog;
class TForm2;
class TTableListDialog;

// The taskbar-flash request, filled once at start-up: the top-level window
// whose taskbar button flashes until the window comes to the foreground.
// While it is unfilled (no window), a flash does nothing.
struct TFlashInfo {
    QWidget* Window = nullptr;
};

// The player's window: name and server address, connect and disconnect, the
// game table, the chat and the roster. The game's state lives in the table
// model, which the received commands change and the window renders into its
// controls; the server owns the cards, and the table shows what its commands
// said.
//
// The window opens disconnected. Connect sends "/join" once the connection is
// up, announcing level 2 after the NUL; every packet then goes to
// pcsPacketArrived, which dispatches on the command word. The table's buttons
// only send commands (the sit button also marks the seat as this player's):
// the table changes when the server's copy of a command comes back.
//
// A server that answers with a sync block ("/state begin" ... "/state end")
// speaks level 2: the block rebuilds the table silently, the player's seats
// become its own again, away players are marked, a connection that drops
// without the player asking is resumed on its own, and each hit is judged.
// Against any other server the window behaves as a level-1 client.
//
// A level-2 server holds many tables: the address names one
// (HOST[:PORT][/TABLE][#key=KEY], or a kivol:// link), the join announces it,
// the table list lets the player move to another or watch one, and a watcher
// sees the table without any control that would act. A "/refused" join is
// reported and never retried.
//
// A level-2 server keeps registered names: the 名前・成績 menu registers the
// player's name, and the key it answers is kept in the user's settings for
// that server and name and rides on every later join of the name there. The
// same menu opens the server's pages (its "/site") in the default browser.
class TForm1 : public QWidget {
    Q_DECLARE_TR_FUNCTIONS(TForm1)

public:
    static constexpr int GamePort = 16523;
    static constexpr int SeatCount = 6;
    static constexpr int SlotCount = 12;
    // What the connection may hold unprocessed: a server that sends more in
    // one packet ends the connection instead of exhausting the memory.
    static constexpr int MaxRecvBytes = 1 << 20;
    // The longest calculation a hitter may send.
    static constexpr int AnswerBytes = 200;

    // assetDirectory: where the sounds and card bitmaps are read; the
    // program's own directory unless a test says otherwise.
    explicit TForm1(const QString& assetDirectory = ProgramDirectory(), QWidget* parent = nullptr);
    ~TForm1() override;

    // The program's name, in the window's title and on its error reports.
    static QString ProgramTitle();

    // Connection, chat and roster.
    void btnConnectClick();
    void pcsConnect(TObject* Sender, TCustomWinSocket* Socket);
    void pcsDisconnect(TObject* Sender, TCustomWinSocket* Socket);
    // A server that went away without an orderly close (a reset) ends the
    // connection as a close does: silently. A failed connect is still reported.
    void pcsError(TObject* Sender, TCustomWinSocket* Socket, TErrorEvent ErrorEvent, int& ErrorCode);
    void btnDisconnectClick();
    void btnSendClick();
    void mmChatChange();
    void pcsPacketArrived(TObject* Sender, TCustomWinSocket* Socket, const void* Data, int Size);
    void btnVersionClick();
    // Level 2 with tables: opens the table list; goes to a table chosen there,
    // leaving the current one first.
    void btnTablesClick();
    void GoToTable(const TTableChoice& choice);

    // The player's actions at the table; the seat buttons learn their seat
    // from their "Tag" property.
    void btnTakeClick(QPushButton* Sender);
    void btnB2TClick(QPushButton* Sender);
    void btnT2YClick(QPushButton* Sender);
    void btnB2YClick();
    void btnDrawClick();
    void btnHitClick();
    void btnInitClick();
    void btnSetClick();
    void btnHeleClick();
    // Keeps the roster from taking the focus away from the control just left.
    void edtMokutekiExit(QWidget* Sender);
    void lstPlayersEnter();
    void lstPlayersExit();
    void timHitTimer();
    // Level 2: shows the calculation that makes the target; sends the
    // hitter's own calculation.
    void btnShowAnswerClick();
    void edtAnswerEnter();
    // Level 2, dealt games: the fields and the start, the stop, the next game
    // with the same fields, and practice at a private table of one's own
    // against computer players.
    void btnDealClick();
    void btnStopDealClick();
    void btnOneMoreClick();
    void btnPracticeClick();
    void timAnswerTimer();
    // Level 2, registered names and the server's pages: registers the
    // player's name; shows its key or imports one.
    void actRegisterClick();
    void actNameKeyClick();

    QLabel* lblName;
    QLineEdit* edtName;
    QLabel* lblAddress;
    QLineEdit* edtAddress;
    QPushButton* btnConnect;
    QPushButton* btnDisconnect;
    QPushButton* btnVersion;
    // Joins the next connection as a watcher (--watch ticks it).
    QCheckBox* chkWatch;
    QLabel* Panel1;  // a panel whose caption shows wherever Panel2 does not cover it
    QWidget* Panel2;
    QLineEdit* edtMessage;
    QPushButton* btnSend;
    TMemo* mmChat;
    QListWidget* lstPlayers;
    QPushButton* btnInit;
    QLabel* lblNokori;
    QLabel* lblYamafuda;
    QPushButton* btnDraw;
    QLabel* lblMDisp;
    QLineEdit* edtMokuteki;
    QLabel* lblMokuteki;
    QLabel* lblMName;
    QPushButton* btnSet;
    QPushButton* btnB2Y;
    QLabel* lblHit;
    QPushButton* btnHit;
    QPushButton* btnHele;
    // Level 2: the reconnection status, and the judgement of the latest hit
    // with its calculation and the hitter's answer box.
    QLabel* lblReconnect;
    QLabel* lblJudge;
    QPushButton* btnShowAnswer;
    QLabel* lblAnswer;
    QLineEdit* edtAnswer;
    // Level 2 with tables: opens the table list, which is refreshed while open.
    QPushButton* btnTables;
    TTableListDialog* TablesDialog;
    // Level 2, dealt games: start and stop (one shows at a time), practice
    // (at any server, connected or not), the round and the host, the open
    // answer's countdown or the latest penalty, and the standings laid over
    // the field at the end.
    QPushButton* btnDeal;
    QPushButton* btnStopDeal;
    QPushButton* btnPractice;
    QLabel* lblGame;
    QLabel* lblGameLive;
    QFrame* frmStandings;
    QLabel* lblStandingsTitle;
    QLabel* lblStandings;
    QPushButton* btnOneMore;
    QPushButton* btnCloseStandings;
    TDealDialog* DealDialog;
    // Level 2: the menu of registered names and the server's pages, and the
    // dialog that shows a name's key or imports one.
    QPushButton* btnNames;
    QMenu* mnuNames;
    QAction* actRegister;
    QAction* actNameKey;
    QAction* actLeaderboard;
    QAction* actOwnPage;
    TNameKeyDialog* NameKeyDialog;

    // The control arrays, by slot and by seat.
    std::array<QLabel*, SlotCount> Images;
    std::array<QLabel*, SlotCount> lblCards;
    std::array<QLabel*, SeatCount> lblTNames;
    std::array<QLabel*, SeatCount> lblTables;
    std::array<QPushButton*, SeatCount> btnB2Ts;
    std::array<QPushButton*, SeatCount> btnT2Ys;
    std::array<QPushButton*, SeatCount> btnTakes;

    TPacketClientSocket pcs;
    TTimer timHit;
    // Asks for the table list again while its dialog is open.
    TTimer timTables;
    // Ends the wait for a sync block after the first "/list": a server that
    // sends none speaks level 1.
    TTimer timLevel;
    // Counts the open answer down.
    TTimer timAnswer;
    TSoundPlayer SoundPlayer;
    QByteArray sndJoin;
    QByteArray sndDraw;
    QByteArray sndHit;
    QByteArray sndMessage;
    QByteArray sndHele;
    TFlashInfo FlashInfo;

    // This player's name padded to 8 bytes, set by each Connect.
    AnsiString PlayerName;
    // The game as the server's commands drew it, rendered into the controls.
    TTableModel Table;
    // Filled field slots as rendered; the next card goes into slot BafudaCount.
    int BafudaCount = 0;
    // The dealt game at the table as the server's "/game" lines told it.
    TDealtGame Game;
    // Where the open answer's countdown is measured; tests give their own clock.
    std::function<TDealtGame::TClock::time_point()> Now = [] { return TDealtGame::TClock::now(); };
    // Brings a dropped level-2 connection back.
    TReconnector Reconnector;
    // The table asked for and what the server made of it; the listed tables.
    TTablePlace TablePlace;
    TTableList TableList;
    // The keys of registered names, in the user's settings; where the
    // server's pages are; how a page is opened (the default browser; tests
    // record the address instead).
    TNameKeys NameKeys;
    TRecordsSite Site;
    std::function<bool(const QUrl&)> OpenUrl;
    // The port Connect uses: the game's; tests point it at their own server.
    int ServerPort = GamePort;
    // Where the sounds and card bitmaps are read.
    const QString AssetDirectory;
    // The version dialog, made by the program entry.
    TForm2* Form2 = nullptr;

private:
    // Start-up and shutdown.
    void BuildTopRow();
    void BuildRoom();
    void BuildTable();
    void BuildSeats();
    void BuildSlots();
    void BuildLevel2();
    void BuildGame();
    void BuildNames();
    void SetTabOrder();
    void BindEvents();
    void FormCreate();
    void FormDestroy();
    void LoadSounds();

    // Receiving: one command text, dispatched on its command word.
    void ApplyCommand(std::string_view text);
    void RoomJoin(std::string_view text);
    void RoomLeft(std::string_view text);
    void RoomList(std::string_view text);
    void RoomKill(std::string_view text);
    void ChatLine(std::string_view text);
    void UnknownCommand();

    // A received table command: the model changes, the window renders it,
    // and sounds, the hit line and the target input follow unless a sync
    // block is being applied.
    void TableCommand(std::string_view text);
    void TableHele();  // "/hele": the reaction's sound

    // Rendering the model into the controls.
    void RenderTable();
    void RenderSeats();
    void RenderRoster();
    void RenderJudgement();
    void RenderReconnect();
    // The title and, for a watcher, the controls that would act.
    void RenderPlace();

    // Level 2: the words only a level-2 server sends; false for a text that
    // is none of them (or arrives before the server said it speaks level 2).
    bool Level2Command(std::string_view text);
    bool SyncBegin(std::string_view text);
    // Notes which level the server speaks from the order of its first commands.
    void NoteLevel(std::string_view text);
    void Level1Server();
    void TablesCommand(std::string_view text);
    void RefusedCommand(std::string_view text);
    void timTablesTimer();
    void SyncEnd();
    // Dealt games: a "/game" line; the start of one with the fields, sitting
    // down first when the player holds no seat.
    void GameCommand(std::string_view text);
    void StartDeal(const TDealOptions& options);
    void RenderGame();
    void RenderGameLive();
    void RenderStandings();
    // Registered names and the server's pages.
    void RenderNames();
    void NameKeyCommand(std::string_view text);
    void SiteCommand(std::string_view text);
    void OpenPage(const QUrl& url);
    // The key kept for this player's name at this server.
    std::optional<std::string> KeptKey() const;
    // A join refused for a registered name: the player is offered the import.
    void ClaimedRefusal(const QString& sentence);
    void OfferNameKeyImport(const QString& sentence);
    void ImportNameKey(const QString& server, const QString& name, const QString& key);
    // A player's name as the table shows it, a computer player marked.
    QString PlayerCaption(const AnsiString& paddedName) const;
    void AwayOrBack(std::string_view text, bool away);
    void Judge(std::string_view text);
    // "/join" with the announcement, or with the token to resume.
    void SendJoin();
    // The connection ended: true when it ended without the player asking
    // while a level-2 server keeps the player's place.
    bool Dropped() const;
    void ReconnectAttempt();
    void ShowDisconnected();
    // A new Connect: level 1 until the server says otherwise.
    void StartOver();
    // The address box read for a Connect: nothing, after telling the player,
    // when it names no valid table or key.
    std::optional<TServerAddress> AddressToConnect();

    // Sends the text and its NUL as one packet.
    void SendText(std::string_view text);
    // Flashes the taskbar button as FlashInfo asks.
    void FlashTaskbar();
    void FocusChanged(QWidget* old, QWidget* now);

    // Dropped by the destructor: the controls' own destruction moves the focus.
    QMetaObject::Connection focusChanged_;

    // The roster as last listed, one padded name per row.
    std::vector<AnsiString> roster_;
    // The connection is up (from OnConnect to OnDisconnect).
    bool connected_ = false;
    // The player ended the connection (Disconnect, a "/kill", the window closing).
    bool leaving_ = false;
    // The server sent a sync block: it speaks level 2.
    bool level2_ = false;
    // A sync block is being applied: no sound, flash, chat line or report.
    bool syncing_ = false;
    // The roster entry's token and the server's grace period in seconds.
    AnsiString token_;
    int graceSeconds_ = 0;
    // The server of the current connection, as the address box named it.
    QString server_;
    // The fields of the latest game started or seen: the dialog's and もう一局's.
    TDealOptions dealOptions_;
    // A practice table being joined: the game it starts once the server let
    // the player in.
    std::optional<TDealOptions> practice_;
    // The player closed the latest standings.
    bool standingsClosed_ = false;
    // A "/register" awaits its answer: a "/game refused" is its refusal.
    bool registering_ = false;
    // The import dialog was opened for a refused join, which a taken key retries.
    bool joinAfterImport_ = false;
};
