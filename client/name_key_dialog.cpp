#include "client/name_key_dialog.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/application.h"

namespace {

QLabel* Sentence(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

QLineEdit* Box(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

}  // namespace

TNameKeyDialog::TNameKeyDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("NameKeyDialog"));
    setWindowTitle(tr("名前の鍵"));
    resize(420, 0);

    lblSentence = Sentence(this);
    edtServer = Box(this, "edtServer");
    edtName = Box(this, "edtName");
    edtKey = Box(this, "edtKey");
    // 32 hex digits, read and compared by eye: fixed-width, no input method.
    edtKey->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edtKey->setAttribute(Qt::WA_InputMethodEnabled, false);
    edtKey->setPlaceholderText(tr("別の端末で表示した鍵を貼り付け"));
    auto* fields = new QFormLayout;
    fields->addRow(tr("サーバー"), edtServer);
    fields->addRow(tr("名前"), edtName);
    fields->addRow(tr("鍵"), edtKey);

    btnCopy = new QPushButton(tr("鍵をコピー"), this);
    btnImport = new QPushButton(tr("この鍵を取り込む"), this);
    auto* keyButtons = new QHBoxLayout;
    keyButtons->addStretch();
    keyButtons->addWidget(btnCopy);
    keyButtons->addWidget(btnImport);
    lblProblem = Sentence(this);

    auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
    close->button(QDialogButtonBox::Close)->setText(tr("閉じる"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSentence);
    layout->addLayout(fields);
    layout->addLayout(keyButtons);
    layout->addWidget(lblProblem);
    layout->addWidget(close);

    ConnectHandler(btnCopy, &QPushButton::clicked, [this] {
        QGuiApplication::clipboard()->setText(edtKey->text().trimmed());
        lblProblem->setText(tr("鍵をコピーしました"));
    });
    ConnectHandler(btnImport, &QPushButton::clicked, [this] {
        if (OnImport)
            OnImport(edtServer->text(), edtName->text(), edtKey->text());
    });
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void TNameKeyDialog::Open(const QString& sentence, const QString& server, const QString& name, const QString& key)
{
    lblSentence->setText(sentence);
    edtServer->setText(server);
    edtName->setText(name);
    edtKey->setText(key);
    lblProblem->clear();
    show();
    raise();
    if (key.isEmpty())
        edtKey->setFocus();
    else
        btnCopy->setFocus();
}

void TNameKeyDialog::ShowProblem(const QString& problem)
{
    lblProblem->setText(problem);
}
