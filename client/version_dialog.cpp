#include "client/version_dialog.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>

#include "platform/application.h"

namespace {

template <typename Label>
Label* PlaceLabel(Label* label, const char* name, int left, int top)
{
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->move(left, top);
    label->adjustSize();
    return label;
}

void OpenLink(const char* link)
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(link)));
}

}  // namespace

TLinkLabel::TLinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    setPalette(blue);
    setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
        DispatchSafely(OnClick);
    QLabel::mouseReleaseEvent(event);
}

TForm2::TForm2(QWidget* parent, std::string_view versionBlock)
    : TForm(parent),
      lblTitle(PlaceLabel(new QLabel(tr("ネット対戦型「Kivol」 β"), this), "lblTitle", 16, 8)),
      lblVersion(PlaceLabel(new QLabel(this), "lblVersion", 224, 16)),
      lblName(PlaceLabel(new QLabel(tr("作成者: Kivol"), this), "lblName", 80, 40)),
      lblMail(PlaceLabel(new TLinkLabel(QStringLiteral("kivol@example.org"), this), "lblMail", 168, 40)),
      lblComponent(PlaceLabel(new QLabel(tr("通信部品: PacketSockets (Kivol 開発チーム)"), this),
                              "lblComponent", 8, 80)),
      lblGraphic(PlaceLabel(new QLabel(tr("画像提供: Kivol"), this), "lblGraphic", 8, 104)),
      lblGraphicMail(
          PlaceLabel(new TLinkLabel(QStringLiteral("art@example.org"), this), "lblGraphicMail", 120, 104)),
      lblGraphicURL(PlaceLabel(new TLinkLabel(QStringLiteral("www.example.org/kivol/"), this), "lblGraphicURL", 224,
                               104)),
      btnOK(new QPushButton(QStringLiteral("OK"), this))
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(tr("バージョン情報"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    SetClientSize(439, 174);

    QFont title = GameFont(19);
    title.setBold(true);
    lblTitle->setFont(title);
    lblTitle->adjustSize();

    // "Ver. " stays alone when the block cannot be read or lacks the value.
    const std::optional<QString> version = QueryVersionString("\\StringFileInfo\\041103A4\\FileVersion", versionBlock);
    lblVersion->setText(QStringLiteral("Ver. ") + version.value_or(QString()));
    lblVersion->adjustSize();

    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(160, 144, 121, 17);
    btnOK->setDefault(true);
    btnOK->setFocus();
    connect(btnOK, &QPushButton::clicked, this, [this] { SetModalResult(mrOk); });

    lblMail->OnClick = [this] { lblMailClick(); };
    lblGraphicMail->OnClick = [this] { lblGraphicMailClick(); };
    lblGraphicURL->OnClick = [this] { lblGraphicURLClick(); };
}

void TForm2::lblMailClick()
{
    OpenLink(MailLink);
}

void TForm2::lblGraphicMailClick()
{
    OpenLink(GraphicMailLink);
}

void TForm2::lblGraphicURLClick()
{
    OpenLink(GraphicURLLink);
}
