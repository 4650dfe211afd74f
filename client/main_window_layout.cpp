// The main window's controls: where each one lies, its design-time state, the
// control arrays, the tab order and which handler each event runs.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>
#include <vector>

#include "client/deal_dialog.h"
#include "client/main_window.h"
#include "client/name_key_dialog.h"
#include "client/name_validator.h"
#include "client/table_list_dialog.h"
#include "platform/application.h"
#include "platform/form.h"
#include "protocol/padded_name.h"

namespace {

// Gives the control its name and place; a label without a size takes the
// size of its text, as the window's fixed captions do.
template <typename Control>
Control* Place(Control* control, const QString& name, int left, int top, int width = -1, int height = -1)
{
    control->setObjectName(name);
    control->move(left, top);
    if (width >= 0)
        control->resize(width, height);
    return control;
}

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption, int left, int top, int width = -1)
{
    auto* label = Place(new QLabel(caption, parent), name, left, top);
    // Captions come off the wire (names, the target): never rich text.
    label->setTextFormat(Qt::PlainText);
    if (width < 0)
        label->adjustSize();
    else
        label->resize(width, label->sizeHint().height());
    return label;
}

QPushButton* MakeButton(QWidget* parent, const QString& name, int left, int top, int width, int height)
{
    return Place(new QPushButton(parent), name, left, top, width, height);
}

QLineEdit* MakeEdit(QWidget* parent, const QString& name, int left, int top, int width)
{
    return Place(new QLineEdit(parent), name, left, top, width, 20);
}

QString Indexed(const char* name, int index)
{
    return QString::fromLatin1(name) + QString::number(index);
}

void ConnectClick(QPushButton* button, const std::function<void()>& handler)
{
    ConnectHandler(button, &QPushButton::clicked, handler);
}

void ConnectEnter(QLineEdit* edit, const std::function<void()>& handler)
{
    ConnectHandler(edit, &QLineEdit::returnPressed, handler);
}

// Where the seats lie: seat s in column s / 2 and row s % 2.
constexpr int SeatNameLeft[] = {192, 424, 640};
constexpr int SeatNameTop[] = {16, 96};
constexpr int SeatTableTop[] = {40, 120};
constexpr int SeatTakeLeft[] = {256, 488, 704};
constexpr int SeatB2TLeft[] = {208, 440, 656};
constexpr int SeatT2YLeft[] = {264, 496, 712};
constexpr int SeatMoveTop[] = {56, 136};
// The width a seat's name and hand count have before the sit button.
constexpr int SeatLabelWidth = 64;

// Where the field slots lie: six to a row, two rows.
constexpr int SlotsPerRow = 6;
constexpr int SlotLeft = 24;
constexpr int SlotPitch = 96;
constexpr int SlotImageTop[] = {168, 328};
constexpr int SlotNameTop[] = {304, 464};
constexpr int CardWidth = 89;
constexpr int CardHeight = 129;

}  // namespace

TForm1::TForm1(const QString& assetDirectory, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      timHit(3000),
      timTables(1500),
      timLevel(2000),
      timAnswer(250),
      AssetDirectory(assetDirectory)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(ProgramTitle());
    setFont(TForm::GameFont());
    setFixedSize(798, 693);

    BuildTopRow();
    BuildRoom();
    BuildTable();
    BuildLevel2();
    BuildGame();
    BuildNames();
    SetTabOrder();
    BindEvents();
    FormCreate();
}

QString TForm1::ProgramTitle()
{
    return tr("Kivolクライアント");
}

void TForm1::BuildTopRow()
{
    lblName = MakeLabel(this, QStringLiteral("lblName"), tr("名前"), 8, 12);
    edtName = MakeEdit(this, QStringLiteral("edtName"), 48, 8, 97);
    edtName->setValidator(new TByteLengthValidator(Protocol::PaddedNameLength, edtName));
    lblAddress = MakeLabel(this, QStringLiteral("lblAddress"), tr("IPアドレス"), 160, 12);
    edtAddress = MakeEdit(this, QStringLiteral("edtAddress"), 232, 8, 193);
    btnConnect = MakeButton(this, QStringLiteral("btnConnect"), 432, 8, 73, 17);
    btnDisconnect = MakeButton(this, QStringLiteral("btnDisconnect"), 520, 8, 81, 17);
    btnDisconnect->setEnabled(false);
    chkWatch = Place(new QCheckBox(tr("観戦"), this), QStringLiteral("chkWatch"), 608, 8, 48, 17);
    btnVersion = MakeButton(this, QStringLiteral("btnVersion"), 658, 8, 135, 17);
}

void TForm1::BuildRoom()
{
    // Panel1's caption is what the player sees in the table's place until the
    // first new game shows Panel2 over it.
    Panel1 = Place(new QLabel(tr("次のゲームまでは参加することが出来ません。チャットは利用できます。"), this),
                   QStringLiteral("Panel1"), 8, 32, 785, 657);
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setVisible(false);

    Panel2 = Place(new QWidget(Panel1), QStringLiteral("Panel2"), 0, 8, 785, 481);
    Panel2->setAutoFillBackground(true);
    Panel2->setVisible(false);

    edtMessage = MakeEdit(Panel1, QStringLiteral("edtMessage"), 152, 488, 497);
    btnSend = MakeButton(Panel1, QStringLiteral("btnSend"), 672, 488, 97, 17);
    mmChat = Place(new TMemo(Panel1), QStringLiteral("mmChat"), 152, 520, 617, 129);
    lstPlayers = Place(new QListWidget(Panel1), QStringLiteral("lstPlayers"), 24, 488, 121, 161);
    // Rows of 16 pixels, plain text 2 pixels from the left edge.
    lstPlayers->setUniformItemSizes(true);
    lstPlayers->setStyleSheet(QStringLiteral("QListWidget::item { height: 16px; padding: 0px 0px 0px 2px; }"));
    // Lies over the table's area and stays usable with or without the table.
    btnInit = MakeButton(Panel1, QStringLiteral("btnInit"), 664, 336, 105, 25);
    btnInit->raise();
}

void TForm1::BuildTable()
{
    lblNokori = MakeLabel(Panel2, QStringLiteral("lblNokori"), tr("残り枚数"), 8, 16);
    lblYamafuda = MakeLabel(Panel2, QStringLiteral("lblYamafuda"), QString(), 64, 16, 56);
    btnDraw = MakeButton(Panel2, QStringLiteral("btnDraw"), 64, 32, 65, 17);
    lblMDisp = MakeLabel(Panel2, QStringLiteral("lblMDisp"), tr("目標数"), 0, 64);
    edtMokuteki = MakeEdit(Panel2, QStringLiteral("edtMokuteki"), 80, 72, 73);
    // The target is typed with the input method closed.
    edtMokuteki->setAttribute(Qt::WA_InputMethodEnabled, false);
    edtMokuteki->setInputMethodHints(Qt::ImhPreferNumbers | Qt::ImhPreferLatin);
    lblMokuteki = MakeLabel(Panel2, QStringLiteral("lblMokuteki"), QString(), 16, 80, 64);
    lblMName = MakeLabel(Panel2, QStringLiteral("lblMName"), QString(), 24, 96, 64);
    btnSet = MakeButton(Panel2, QStringLiteral("btnSet"), 88, 96, 65, 17);
    btnB2Y = MakeButton(Panel2, QStringLiteral("btnB2Y"), 88, 128, 65, 17);
    btnHit = MakeButton(Panel2, QStringLiteral("btnHit"), 664, 280, 105, 25);
    btnHele = MakeButton(Panel2, QStringLiteral("btnHele"), 664, 400, 97, 25);
    BuildSeats();
    BuildSlots();

    // "HIT!!" lies over the field; its text takes the room it needs.
    lblHit = MakeLabel(Panel2, QStringLiteral("lblHit"), QStringLiteral("HIT!!"), 176, 264);
    lblHit->setFont(TForm::GameFont(96));
    QPalette red = lblHit->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    lblHit->setPalette(red);
    lblHit->resize(lblHit->sizeHint().expandedTo(QSize(185, 96)));
    lblHit->setVisible(false);
}

void TForm1::BuildLevel2()
{
    // The reconnection status lies over the field, above the room, which is
    // disabled meanwhile.
    lblReconnect = MakeLabel(this, QStringLiteral("lblReconnect"), QString(), 184, 220, 430);
    lblReconnect->setAlignment(Qt::AlignCenter);
    lblReconnect->setAutoFillBackground(true);
    lblReconnect->setVisible(false);

    // The judgement of the latest hit, right of the field, clear of the
    // level-1 controls; shown only once a level-2 server judged a hit.
    lblJudge = MakeLabel(Panel2, QStringLiteral("lblJudge"), QString(), 600, 168, 180);
    QPalette red = lblJudge->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    lblJudge->setPalette(red);
    btnShowAnswer = MakeButton(Panel2, QStringLiteral("btnShowAnswer"), 664, 188, 105, 21);
    lblAnswer = MakeLabel(Panel2, QStringLiteral("lblAnswer"), QString(), 600, 214, 180);
    edtAnswer = MakeEdit(Panel2, QStringLiteral("edtAnswer"), 600, 236, 169);
    edtAnswer->setValidator(new TByteLengthValidator(AnswerBytes, edtAnswer));
    edtAnswer->setPlaceholderText(tr("計算式を入力して Enter"));
    edtAnswer->setAttribute(Qt::WA_InputMethodEnabled, false);
    for (QWidget* control : std::initializer_list<QWidget*>{lblJudge, btnShowAnswer, lblAnswer, edtAnswer})
        control->setVisible(false);

    // The table list's button lies between the new-game button and the
    // reaction button, over the table like the new-game button; its dialog
    // is a small window of its own.
    btnTables = MakeButton(Panel1, QStringLiteral("btnTables"), 664, 372, 105, 25);
    btnTables->setVisible(false);
    btnTables->raise();
    TablesDialog = new TTableListDialog(this);
}

void TForm1::BuildGame()
{
    // The round and the host, left above the field; the countdown right
    // below the answer box, in red like the verdict.
    lblGame = MakeLabel(Panel2, QStringLiteral("lblGame"), QString(), 8, 148, 176);
    lblGameLive = MakeLabel(Panel2, QStringLiteral("lblGameLive"), QString(), 600, 260, 180);
    QPalette red = lblGameLive->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    lblGameLive->setPalette(red);

    // Start and stop lie where one button lies, below the reaction button,
    // over the table like the new-game button.
    btnDeal = MakeButton(Panel1, QStringLiteral("btnDeal"), 664, 440, 105, 22);
    btnStopDeal = MakeButton(Panel1, QStringLiteral("btnStopDeal"), 664, 440, 105, 22);
    for (QPushButton* button : {btnDeal, btnStopDeal}) {
        button->setVisible(false);
        button->raise();
    }
    // Practice needs no connection: it lies on the window, above the room.
    btnPractice = MakeButton(this, QStringLiteral("btnPractice"), 672, 497, 105, 20);
    btnPractice->raise();

    // The standings, laid over the field.
    frmStandings = Place(new QFrame(Panel2), QStringLiteral("frmStandings"), 168, 184, 280, 240);
    frmStandings->setFrameShape(QFrame::Box);
    frmStandings->setAutoFillBackground(true);
    lblStandingsTitle = MakeLabel(frmStandings, QStringLiteral("lblStandingsTitle"), QString(), 0, 0);
    lblStandingsTitle->setFont(TForm::GameFont(20));
    lblStandings = MakeLabel(frmStandings, QStringLiteral("lblStandings"), QString(), 0, 0);
    btnOneMore = MakeButton(frmStandings, QStringLiteral("btnOneMore"), 0, 0, 97, 25);
    btnCloseStandings = MakeButton(frmStandings, QStringLiteral("btnCloseStandings"), 0, 0, 97, 25);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOneMore);
    buttons->addWidget(btnCloseStandings);
    auto* layout = new QVBoxLayout(frmStandings);
    layout->addWidget(lblStandingsTitle, 0, Qt::AlignHCenter);
    layout->addWidget(lblStandings, 1, Qt::AlignHCenter | Qt::AlignTop);
    layout->addLayout(buttons);
    frmStandings->setVisible(false);

    DealDialog = new TDealDialog(this);
}

void TForm1::BuildNames()
{
    // Registered names and the server's pages: one small button on the
    // window, left of 練習… and clear of the field's last card name, whose
    // menu holds them; shown at a level-2 server only.
    btnNames = MakeButton(this, QStringLiteral("btnNames"), 604, 497, 66, 20);
    btnNames->setVisible(false);
    btnNames->raise();
    mnuNames = new QMenu(btnNames);
    mnuNames->setObjectName(QStringLiteral("mnuNames"));
    actRegister = mnuNames->addAction(QString());
    actNameKey = mnuNames->addAction(QString());
    mnuNames->addSeparator();
    actLeaderboard = mnuNames->addAction(QString());
    actOwnPage = mnuNames->addAction(QString());
    NameKeyDialog = new TNameKeyDialog(this);
    OpenUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

void TForm1::BuildSeats()
{
    for (int s = 0; s < SeatCount; ++s) {
        const int column = s / 2;
        const int row = s % 2;
        lblTNames[s] = MakeLabel(Panel2, Indexed("lblTName", s), QString(), SeatNameLeft[column], SeatNameTop[row],
                                 SeatLabelWidth);
        lblTables[s] = MakeLabel(Panel2, Indexed("lblTable", s), QString(), SeatNameLeft[column],
                                 SeatTableTop[row], SeatLabelWidth);
        btnTakes[s] = MakeButton(Panel2, Indexed("btnTake", s), SeatTakeLeft[column], SeatNameTop[row], 57, 17);
        btnB2Ts[s] = MakeButton(Panel2, Indexed("btnB2T", s), SeatB2TLeft[column], SeatMoveTop[row], 49, 17);
        btnT2Ys[s] = MakeButton(Panel2, Indexed("btnT2Y", s), SeatT2YLeft[column], SeatMoveTop[row], 49, 17);
        for (QPushButton* button : {btnTakes[s], btnB2Ts[s], btnT2Ys[s]})
            button->setProperty("Tag", s);
        btnB2Ts[s]->setVisible(false);
        btnT2Ys[s]->setVisible(false);
    }
}

void TForm1::BuildSlots()
{
    for (int i = 0; i < SlotCount; ++i) {
        const int left = SlotLeft + SlotPitch * (i % SlotsPerRow);
        const int row = i / SlotsPerRow;
        Images[i] = Place(new QLabel(Panel2), Indexed("Image", i), left, SlotImageTop[row], CardWidth, CardHeight);
        Images[i]->setScaledContents(true);
        lblCards[i] = MakeLabel(Panel2, Indexed("lblCard", i), QString(), left, SlotNameTop[row], CardWidth);
    }
}

void TForm1::SetTabOrder()
{
    std::vector<QWidget*> order = {edtName, edtAddress, btnConnect, btnDisconnect, chkWatch, btnVersion};
    for (int s = 0; s < SeatCount; ++s)
        order.insert(order.end(), {btnTakes[s], btnB2Ts[s], btnT2Ys[s]});
    // The roster comes right after the new-game button.
    order.insert(order.end(), {btnDraw, edtMokuteki, btnSet, btnB2Y, btnHit, btnHele, edtMessage, btnSend, mmChat,
                               btnInit, btnTables, lstPlayers, btnDeal, btnStopDeal, btnNames, btnPractice});
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TForm1::BindEvents()
{
    ConnectClick(btnConnect, [this] { btnConnectClick(); });
    ConnectEnter(edtName, [this] { btnConnectClick(); });
    ConnectEnter(edtAddress, [this] { btnConnectClick(); });
    ConnectClick(btnDisconnect, [this] { btnDisconnectClick(); });
    ConnectClick(btnVersion, [this] { btnVersionClick(); });
    ConnectClick(btnSend, [this] { btnSendClick(); });
    ConnectEnter(edtMessage, [this] { btnSendClick(); });
    mmChat->OnChange = [this] { mmChatChange(); };

    pcs.OnConnect = [this](TObject* sender, TCustomWinSocket* socket) { pcsConnect(sender, socket); };
    pcs.OnDisconnect = [this](TObject* sender, TCustomWinSocket* socket) { pcsDisconnect(sender, socket); };
    pcs.OnError = [this](TObject* sender, TCustomWinSocket* socket, TErrorEvent event, int& code) {
        pcsError(sender, socket, event, code);
    };
    pcs.OnPacketArrived = [this](TObject* sender, TCustomWinSocket* socket, const void* data, int size) {
        pcsPacketArrived(sender, socket, data, size);
    };

    for (int s = 0; s < SeatCount; ++s) {
        QPushButton* take = btnTakes[s];
        QPushButton* b2t = btnB2Ts[s];
        QPushButton* t2y = btnT2Ys[s];
        ConnectClick(take, [this, take] { btnTakeClick(take); });
        ConnectClick(b2t, [this, b2t] { btnB2TClick(b2t); });
        ConnectClick(t2y, [this, t2y] { btnT2YClick(t2y); });
    }
    ConnectClick(btnB2Y, [this] { btnB2YClick(); });
    ConnectClick(btnDraw, [this] { btnDrawClick(); });
    ConnectClick(btnHit, [this] { btnHitClick(); });
    ConnectClick(btnInit, [this] { btnInitClick(); });
    ConnectClick(btnSet, [this] { btnSetClick(); });
    ConnectClick(btnHele, [this] { btnHeleClick(); });
    timHit.OnTimer = [this] { timHitTimer(); };
    ConnectClick(btnShowAnswer, [this] { btnShowAnswerClick(); });
    ConnectEnter(edtAnswer, [this] { edtAnswerEnter(); });
    Reconnector.OnAttempt = [this] { ReconnectAttempt(); };
    ConnectClick(btnTables, [this] { btnTablesClick(); });
    TablesDialog->OnChoose = [this](const TTableChoice& choice) { GoToTable(choice); };
    timTables.OnTimer = [this] { timTablesTimer(); };
    timLevel.OnTimer = [this] { Level1Server(); };
    ConnectClick(btnDeal, [this] { btnDealClick(); });
    ConnectClick(btnStopDeal, [this] { btnStopDealClick(); });
    ConnectClick(btnOneMore, [this] { btnOneMoreClick(); });
    ConnectClick(btnCloseStandings, [this] {
        standingsClosed_ = true;
        RenderStandings();
    });
    ConnectClick(btnPractice, [this] { btnPracticeClick(); });
    timAnswer.OnTimer = [this] { timAnswerTimer(); };
    ConnectClick(btnNames, [this] { mnuNames->popup(btnNames->mapToGlobal(btnNames->rect().bottomLeft())); });
    ConnectHandler(actRegister, &QAction::triggered, [this] { actRegisterClick(); });
    ConnectHandler(actNameKey, &QAction::triggered, [this] { actNameKeyClick(); });
    ConnectHandler(actLeaderboard, &QAction::triggered, [this] { OpenPage(Site.Leaderboard()); });
    ConnectHandler(actOwnPage, &QAction::triggered, [this] { OpenPage(Site.PlayerPage(PlayerName)); });
    NameKeyDialog->OnImport = [this](const QString& server, const QString& name, const QString& key) {
        ImportNameKey(server, name, key);
    };

    focusChanged_ = connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget* old, QWidget* now) { DispatchSafely([&] { FocusChanged(old, now); }); });
}
