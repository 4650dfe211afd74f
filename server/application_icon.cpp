#include "server/application_icon.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

namespace {

QPixmap CardPicture(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card(size * 0.15, size * 0.03, size * 0.7, size * 0.94);
    painter.setPen(QPen(QColor(40, 40, 40), size / 16.0));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(card, size * 0.1, size * 0.1);
    QFont font;
    font.setBold(true);
    font.setPixelSize(size * 3 / 5);
    painter.setFont(font);
    painter.setPen(QColor(200, 20, 30));
    painter.drawText(card, Qt::AlignCenter, QStringLiteral("K"));
    return pixmap;
}

}  // namespace

QIcon ServerIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addPixmap(CardPicture(size));
    return icon;
}
