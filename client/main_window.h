#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <array>
#include <string_view>

#include "client/asset_files.h"
#include "client/chat_memo.h"
#include "client/sound_player.h"
#include "client/window_timer.h"
#include "platform/ansi_string.h"
#include "transport/packet_client_socket.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class TForm2;

// The taskbar-flash request, filled once at start-up: the top-level window
// whose taskbar button flashes until the window comes to the foreground.
// While it is unfilled (no window), a flash does nothing.
struct TFlashInfo {
    QWidget* Window = nullptr;
};

// The player's window: name and server address, connect and disconnect, the
// game table, the chat and the roster. The game's state lives in the table's
// controls (label and button captions) and the one counter BafudaCount; the
// server owns the cards, and the table shows what its commands said.
//
// The window opens disconnected. Connect sends "/join" once the connection is
// up; every packet then goes to pcsPacketArrived, which dispatches on the
// command word. The table's buttons only send commands (the sit button also
// marks the seat as this player's): the table changes when the server's copy
// of a command comes back.
class TForm1 : public QWidget {
public:
    static constexpr int GamePort = 16523;
    static constexpr int SeatCount = 6;
    static constexpr int SlotCount = 12;

    // assetDirectory: where the sounds and card bitmaps are read; the
    // program's own directory unless a test says otherwise.
    explicit TForm1(const QString& assetDirectory = ProgramDirectory(), QWidget* parent = nullptr);
    ~TForm1() override;

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

    QLabel* lblName;
    QLineEdit* edtName;
    QLabel* lblAddress;
    QLineEdit* edtAddress;
    QPushButton* btnConnect;
    QPushButton* btnDisconnect;
    QPushButton* btnVersion;
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
    TSoundPlayer SoundPlayer;
    QByteArray sndJoin;
    QByteArray sndDraw;
    QByteArray sndHit;
    QByteArray sndMessage;
    QByteArray sndHele;
    TFlashInfo FlashInfo;

    // This player's name padded to 8 bytes, set by each Connect.
    AnsiString PlayerName;
    // Filled field slots; the next card goes into slot BafudaCount.
    int BafudaCount = 0;
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

    // What each received game command does to the table.
    void TableTake(std::string_view text);   // "/take": a player sits down
    void TableLeave(std::string_view text);  // "/leave", "/fleav": a seat is freed
    void TableDraw(std::string_view text);   // "/draw": a card from the pile onto the field
    void TableB2T(std::string_view text);    // "/B2T": the last field card into a seat's hand
    void TableT2Y(std::string_view text);    // "/T2Y": a card of a seat's hand back into the pile
    void TableB2Y();                         // "/B2Y": the last field card back into the pile
    void TableHit(std::string_view text);    // "/hit": "HIT!!" and the hit line in the chat
    void TableInit();                        // "/init": a new game
    void TableSet(std::string_view text);    // "/set": the target number and who set it
    void TableHele();                        // "/hele": the reaction's sound
    // Empties the last filled field slot, if any.
    void TakeLastFieldCard();

    // Sends the text and its NUL as one packet.
    void SendText(std::string_view text);
    // Flashes the taskbar button as FlashInfo asks.
    void FlashTaskbar();
    void FocusChanged(QWidget* old, QWidget* now);

    // Dropped by the destructor: the controls' own destruction moves the focus.
    QMetaObject::Connection focusChanged_;
};
