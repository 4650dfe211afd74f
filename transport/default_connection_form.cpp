#include "transport/default_connection_form.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/convert.h"
#include "platform/cp932.h"

TFormDefaultConnection::TFormDefaultConnection(QWidget* parent) : TForm(parent)
{
    setObjectName(QStringLiteral("FormDefaultConnection"));
    setWindowTitle(QStringLiteral("サーバ情報の入力"));
    // Outer size 220 x 130 less the frame and caption of a dialog window.
    SetClientSize(212, 103);

    Label1 = new QLabel(QStringLiteral("ホスト名"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 12, 42, 12);
    Label2 = new QLabel(QStringLiteral("ポート"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(8, 44, 31, 12);

    EditHost = new QLineEdit(this);
    EditHost->setObjectName(QStringLiteral("EditHost"));
    EditHost->setGeometry(64, 8, 121, 20);
    EditPort = new QLineEdit(QStringLiteral("0"), this);
    EditPort->setObjectName(QStringLiteral("EditPort"));
    EditPort->setGeometry(64, 40, 49, 20);

    Button1 = new QPushButton(QStringLiteral("&OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(40, 72, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] { SetModalResult(mrOk); });
    Button2 = new QPushButton(QStringLiteral("&Cancel"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(128, 72, 75, 25);
    connect(Button2, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); });

    setTabOrder(EditHost, EditPort);
    setTabOrder(EditPort, Button1);
    setTabOrder(Button1, Button2);
    EditHost->setFocus();
}

AnsiString TFormDefaultConnection::Host() const
{
    return Cp932::Encode(EditHost->text());
}

void TFormDefaultConnection::SetHost(const AnsiString& value)
{
    EditHost->setText(Cp932::Decode(value));
}

int TFormDefaultConnection::Port() const
{
    return StrToInt(EditPort->text());
}

void TFormDefaultConnection::SetPort(int value)
{
    EditPort->setText(QString::number(value));
}

QString TFormDefaultConnection::HostText() const
{
    return EditHost->text();
}

void TFormDefaultConnection::SetHostText(const QString& value)
{
    EditHost->setText(value);
}

QVariant TFormDefaultConnection::PortText() const
{
    return EditPort->text();
}

void TFormDefaultConnection::SetPortValue(const QVariant& value)
{
    SetPort(value.toInt());
}
