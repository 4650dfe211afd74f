// The packet client component: when it asks for host and port, how it reads
// them back, and how it ends.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "transport/default_connection_form.h"
#include "transport/packet_client_socket.h"
#include "transport/transport_test_support.h"

using namespace test;

namespace {

// Answers the next modal dialog: lets check() look at it, then clicks OK or Cancel.
void AnswerNextDialog(const std::function<void(TFormDefaultConnection*)>& edit, bool ok)
{
    QTimer::singleShot(0, [edit, ok] {
        auto* form = qobject_cast<TFormDefaultConnection*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr) << "no connection dialog is shown";
        edit(form);
        (ok ? form->Button1 : form->Button2)->click();
    });
}

// A dialog of the owner's that offers only "Host".
class HostOnlyForm : public TForm {
    Q_OBJECT
    Q_PROPERTY(QString Host READ host WRITE setHost)
public:
    QString host() const { return host_; }
    void setHost(const QString& value) { host_ = value; }
    QString shownHost;

protected:
    void showEvent(QShowEvent*) override
    {
        shownHost = host_;
        host_ = QStringLiteral("127.0.0.1");
        QTimer::singleShot(0, this, [this] { SetModalResult(mrOk); });
    }

private:
    QString host_;
};

class ClientSocket : public ::testing::Test {
protected:
    void SetUp() override
    {
        client.OnConnect = [this](TObject* sender, TCustomWinSocket*) {
            EXPECT_EQ(sender, &client);
            ++connects;
        };
        client.OnDisconnect = [this](TObject*, TCustomWinSocket*) { ++disconnects; };
        client.OnError = [this](TObject*, TCustomWinSocket*, TErrorEvent event, int& code) {
            errors.push_back({event, code});
        };
    }

    // Records whether a dialog was asked for, and vetoes it.
    void VetoDialogs()
    {
        client.OnGetDialogForm = [this](TObject*, TForm*& form) {
            ++dialogs;
            form = nullptr;
        };
    }

    RawListener listener;
    TPacketClientSocket client;
    ReportRecorder reports;
    int connects = 0, disconnects = 0, dialogs = 0;
    std::vector<std::pair<TErrorEvent, int>> errors;
};

}  // namespace

TEST_F(ClientSocket, AsksForTheServerOnlyWhenHostOrPortIsMissing)
{
    VetoDialogs();
    client.SetHost("127.0.0.1");
    client.SetActive(true);  // port 0 and no service: asks although a host is given
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(client.Active());

    client.SetHost("");
    client.SetAddress("127.0.0.1");
    client.SetPort(listener.Port());
    client.SetActive(true);
    EXPECT_EQ(dialogs, 1) << "address and port given: no dialog";
    RawPeer peer = listener.Accept();
    ASSERT_TRUE(WaitUntil([&] { return connects == 1; }));
    EXPECT_TRUE(client.Active());
    client.SetActive(true);  // already active: nothing happens
    EXPECT_EQ(dialogs, 1);
}

TEST_F(ClientSocket, AlwaysShowDialogPrefillsAndReadsBack)
{
    client.AlwaysShowDialog = true;
    client.SetHost("example.invalid");
    client.SetPort(1);
    QString shownHost, shownPort;
    AnswerNextDialog(
        [&](TFormDefaultConnection* form) {
            shownHost = form->EditHost->text();
            shownPort = form->EditPort->text();
            form->EditHost->setText(QStringLiteral("127.0.0.1"));
            form->EditPort->setText(QString::number(listener.Port()));
        },
        true);
    client.SetActive(true);
    EXPECT_EQ(shownHost, QStringLiteral("example.invalid"));
    EXPECT_EQ(shownPort, QStringLiteral("1"));
    EXPECT_EQ(client.Host(), "127.0.0.1");
    EXPECT_EQ(client.Port(), listener.Port());
    RawPeer peer = listener.Accept();
    EXPECT_TRUE(WaitUntil([&] { return connects == 1; }));
}

TEST_F(ClientSocket, CancellingTheDialogDropsTheActivationSilently)
{
    AnswerNextDialog([](TFormDefaultConnection*) {}, false);
    client.SetActive(true);
    PumpFor(20);
    EXPECT_FALSE(client.Active());
    EXPECT_EQ(disconnects, 0);
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(reports.reports.empty());
    EXPECT_EQ(client.Socket()->SocketHandle(), -1);
}

TEST_F(ClientSocket, APortThatIsNoIntegerRaisesAfterTheHostWasCopied)
{
    client.SetPort(5);
    AnswerNextDialog(
        [](TFormDefaultConnection* form) {
            form->EditHost->setText(QStringLiteral("typed.host"));
            form->EditPort->setText(QStringLiteral("12a"));
        },
        true);
    try {
        client.SetActive(true);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'12a' は整数値ではありません");
    }
    EXPECT_EQ(client.Host(), "typed.host");
    EXPECT_EQ(client.Port(), 5);
    EXPECT_EQ(client.Socket()->SocketHandle(), -1) << "no connection is attempted";
}

TEST_F(ClientSocket, ASubstitutedFormIsFilledAndReadBackAndTheDefaultOneDestroyed)
{
    HostOnlyForm own;
    QPointer<TForm> defaultForm;
    client.OnGetDialogForm = [&](TObject* sender, TForm*& form) {
        EXPECT_EQ(sender, &client);
        defaultForm = form;
        form = &own;
    };
    client.SetHost("before");
    client.SetPort(listener.Port());
    client.AlwaysShowDialog = true;
    client.SetActive(true);
    EXPECT_TRUE(defaultForm.isNull()) << "the default form is destroyed at once";
    EXPECT_EQ(own.shownHost, QStringLiteral("before"));
    EXPECT_EQ(client.Host(), "127.0.0.1");
    EXPECT_EQ(client.Port(), listener.Port()) << "the form has no Port: the port stays";
    RawPeer peer = listener.Accept();
    EXPECT_TRUE(WaitUntil([&] { return connects == 1; }));
}

TEST_F(ClientSocket, DestroyingAConnectedComponentRaisesNoDisconnect)
{
    int lateDisconnects = 0;
    RawPeer peer;
    {
        TPacketClientSocket doomed;
        doomed.OnDisconnect = [&](TObject*, TCustomWinSocket*) { ++lateDisconnects; };
        doomed.SetAddress("127.0.0.1");
        doomed.SetPort(listener.Port());
        bool up = false;
        doomed.OnConnect = [&](TObject*, TCustomWinSocket*) { up = true; };
        doomed.SetActive(true);
        peer = listener.Accept();
        ASSERT_TRUE(WaitUntil([&] { return up; }));
    }
    EXPECT_EQ(lateDisconnects, 0);
    EXPECT_TRUE(peer.WaitClosed());
}

TEST_F(ClientSocket, SettingsCannotChangeWhileActive)
{
    client.SetAddress("127.0.0.1");
    client.SetPort(listener.Port());
    client.SetActive(true);
    RawPeer peer = listener.Accept();
    ASSERT_TRUE(WaitUntil([&] { return connects == 1; }));
    EXPECT_THROW(client.SetPort(1), ESocketError);
    EXPECT_THROW(client.SetHost("x"), ESocketError);
    client.SetActive(false);
    EXPECT_EQ(disconnects, 1);
    EXPECT_FALSE(client.Active());
    client.SetPort(1);
}

TEST_F(ClientSocket, ARefusedConnectionIsReportedAndLeavesTheComponentReusable)
{
    client.SetAddress("127.0.0.1");
    client.SetPort(ClosedPort());
    client.SetActive(true);
    ASSERT_TRUE(WaitUntil([&] { return !errors.empty(); }));
    EXPECT_EQ(errors[0].first, eeConnect);
    EXPECT_EQ(errors[0].second, ECONNREFUSED);
    ASSERT_TRUE(WaitUntil([&] { return reports.Contains(QStringLiteral("[API 'connect']")); }));
    EXPECT_FALSE(client.Active());
    EXPECT_EQ(client.Socket()->SocketHandle(), -1);

    client.SetPort(listener.Port());
    client.SetActive(true);
    RawPeer peer = listener.Accept();
    EXPECT_TRUE(WaitUntil([&] { return connects == 1; }));
}

TEST_F(ClientSocket, AnErrorHandlerThatClearsTheCodeSilencesTheReport)
{
    client.OnError = [this](TObject*, TCustomWinSocket*, TErrorEvent event, int& code) {
        errors.push_back({event, code});
        code = 0;
    };
    client.SetAddress("127.0.0.1");
    client.SetPort(ClosedPort());
    client.SetActive(true);
    ASSERT_TRUE(WaitUntil([&] { return !errors.empty(); }));
    PumpFor(20);
    EXPECT_TRUE(reports.reports.empty());
}

TEST_F(ClientSocket, ANameThatDoesNotResolveRaisesAfterTheDisconnectNotification)
{
    client.SetHost("no-such-host.invalid");
    client.SetPort(1);
    EXPECT_THROW(client.SetActive(true), ESocketError);
    EXPECT_EQ(disconnects, 1);
    EXPECT_FALSE(client.Active());
    EXPECT_EQ(client.Socket()->SocketHandle(), -1);
}

TEST_F(ClientSocket, APeerResetGoesThroughTheErrorPath)
{
    client.SetAddress("127.0.0.1");
    client.SetPort(listener.Port());
    client.SetActive(true);
    RawPeer peer = listener.Accept();
    ASSERT_TRUE(WaitUntil([&] { return connects == 1; }));
    peer.Reset();
    ASSERT_TRUE(WaitUntil([&] { return disconnects == 1; }));
    EXPECT_FALSE(client.Active());
    if (!errors.empty()) {  // a reset may also arrive as an orderly end on loopback
        EXPECT_EQ(errors[0].first, eeReceive);
        EXPECT_TRUE(reports.Contains(QStringLiteral("[API 'recv']")));
    }
}

#include "client_socket_test.moc"
