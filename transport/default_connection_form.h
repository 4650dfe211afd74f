#pragma once

#include <QVariant>

#include "platform/ansi_string.h"
#include "platform/form.h"

class QLabel;
class QLineEdit;
class QPushButton;

// The dialog that asks for the server's host and port. It offers the
// properties "Host" and "Port" by name; "Port" reads back the text as typed,
// which the client socket converts (a text that is no integer raises
// EConvertError there).
class TFormDefaultConnection : public TForm {
    Q_OBJECT
    Q_PROPERTY(QString Host READ HostText WRITE SetHostText)
    Q_PROPERTY(QVariant Port READ PortText WRITE SetPortValue)

public:
    explicit TFormDefaultConnection(QWidget* parent = nullptr);

    AnsiString Host() const;
    void SetHost(const AnsiString& value);
    // The port text as an integer; EConvertError when it is none.
    int Port() const;
    void SetPort(int value);

    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* EditHost;
    QLineEdit* EditPort;
    QPushButton* Button1;
    QPushButton* Button2;

private:
    QString HostText() const;
    void SetHostText(const QString& value);
    QVariant PortText() const;
    void SetPortValue(const QVariant& value);
};
