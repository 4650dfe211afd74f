#include "assets/icon_painter.h"

#include <QPainter>
#include <QString>

namespace {

// A rounded rectangle of the design grid, turned by angle degrees about the
// pivot; a stroke width of 0 draws no outline.
struct Shape {
    double x, y, width, height, radius;
    const char* fill;
    const char* stroke;
    double strokeWidth;
    double angle, pivotX, pivotY;
};

constexpr double BackAngle = -14, FrontAngle = 10;
constexpr double BackX = 108, BackY = 124, FrontX = 152, FrontY = 136;

constexpr Shape Shapes[] = {
    {48, 40, 120, 168, 14, "#2f6fb0", "#1b3f66", 6, BackAngle, BackX, BackY},
    {92, 52, 120, 168, 14, "#ffffff", "#333333", 6, FrontAngle, FrontX, FrontY},
    {122, 96, 60, 16, 3, "#d03030", "", 0, FrontAngle, FrontX, FrontY},
    {144, 74, 16, 60, 3, "#d03030", "", 0, FrontAngle, FrontX, FrontY},
    {122, 160, 60, 12, 3, "#303030", "", 0, FrontAngle, FrontX, FrontY},
    {122, 182, 60, 12, 3, "#303030", "", 0, FrontAngle, FrontX, FrontY},
};

}  // namespace

QImage PaintIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(static_cast<double>(size) / IconGrid, static_cast<double>(size) / IconGrid);
    for (const Shape& shape : Shapes) {
        painter.save();
        painter.translate(shape.pivotX, shape.pivotY);
        painter.rotate(shape.angle);
        painter.translate(-shape.pivotX, -shape.pivotY);
        painter.setBrush(QColor(QString::fromLatin1(shape.fill)));
        if (shape.strokeWidth > 0)
            painter.setPen(QPen(QColor(QString::fromLatin1(shape.stroke)), shape.strokeWidth));
        else
            painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(QRectF(shape.x, shape.y, shape.width, shape.height), shape.radius, shape.radius);
        painter.restore();
    }
    painter.end();
    return image;
}

QByteArray IconSvg()
{
    QString svg = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
                                 "viewBox=\"0 0 %1 %1\">\n")
                      .arg(IconGrid);
    for (const Shape& shape : Shapes) {
        const QString outline = shape.strokeWidth > 0
                                    ? QStringLiteral(" stroke=\"%1\" stroke-width=\"%2\"")
                                          .arg(QString::fromLatin1(shape.stroke))
                                          .arg(shape.strokeWidth)
                                    : QString();
        svg += QStringLiteral("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" fill=\"%6\"%7 "
                              "transform=\"rotate(%8 %9 %10)\"/>\n")
                   .arg(shape.x)
                   .arg(shape.y)
                   .arg(shape.width)
                   .arg(shape.height)
                   .arg(shape.radius)
                   .arg(QString::fromLatin1(shape.fill), outline)
                   .arg(shape.angle)
                   .arg(shape.pivotX)
                   .arg(shape.pivotY);
    }
    svg += QStringLiteral("</svg>\n");
    return svg.toUtf8();
}
