#include "assets/card_painter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QString>
#include <cmath>
#include <numbers>

namespace {

// The colour of the client's table panel, which shows at the rounded corners.
const QColor TableColor(0xF0, 0xF0, 0xF0);
const QColor FaceColor(0xFF, 0xFF, 0xFF);
const QColor BorderColor(0x50, 0x50, 0x50);
const QColor Red(0xC8, 0x10, 0x2E);
const QColor Black(0x1A, 0x1A, 0x1A);

const QRectF Face(0.5, 0.5, CardWidth - 1.0, CardHeight - 1.0);
constexpr double CornerRadius = 6;

struct Suit {
    QChar symbol;
    QColor color;
};

const Suit Suits[] = {
    {QChar(0x2660), Black},  // spades
    {QChar(0x2665), Red},    // hearts
    {QChar(0x2666), Red},    // diamonds
    {QChar(0x2663), Black},  // clubs
};

QFont Font(double pixelSize, bool bold)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(static_cast<int>(std::lround(pixelSize)));
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// The largest bold font, up to maxSize pixels, in which the text fits the width.
QFont FittingFont(const QString& text, double maxSize, double width)
{
    double size = maxSize;
    while (size > 8 && QFontMetricsF(Font(size, true)).horizontalAdvance(text) > width)
        --size;
    return Font(size, true);
}

QString RankText(int rank)
{
    switch (rank) {
    case 1: return QStringLiteral("A");
    case 11: return QStringLiteral("J");
    case 12: return QStringLiteral("Q");
    case 13: return QStringLiteral("K");
    default: return QString::number(rank);
    }
}

void DrawText(QPainter& p, const QRectF& box, const QFont& font, const QColor& color, const QString& text)
{
    p.setFont(font);
    p.setPen(color);
    p.drawText(box, Qt::AlignCenter, text);
}

void DrawBlankCard(QPainter& p)
{
    p.fillRect(QRectF(0, 0, CardWidth, CardHeight), TableColor);
    p.setPen(QPen(BorderColor, 1));
    p.setBrush(FaceColor);
    p.drawRoundedRect(Face, CornerRadius, CornerRadius);
}

// Rank and suit in the top left corner, and again upside down in the bottom
// right, as on a printed card.
void DrawCornerIndexes(QPainter& p, const QString& rank, const Suit& suit)
{
    for (int turn = 0; turn < 2; ++turn) {
        p.save();
        if (turn == 1) {
            p.translate(CardWidth, CardHeight);
            p.rotate(180);
        }
        DrawText(p, QRectF(2, 4, 20, 15), FittingFont(rank, 15, 19), suit.color, rank);
        DrawText(p, QRectF(2, 18, 20, 15), Font(14, false), suit.color, suit.symbol);
        p.restore();
    }
}

void PaintSuitCard(QPainter& p, int suitIndex, int rank)
{
    const Suit& suit = Suits[suitIndex];
    const QString rankText = RankText(rank);
    DrawCornerIndexes(p, rankText, suit);

    // The rank is what players calculate with: large, in the middle. Letters
    // also show the number they stand for, in a badge under them.
    if (rank == 1 || rank > 10) {
        DrawText(p, QRectF(8, 20, CardWidth - 16, 48), FittingFont(rankText, 50, 62), suit.color, rankText);
        const QRectF badge(CardWidth / 2.0 - 13, 75, 26, 15);
        p.setPen(Qt::NoPen);
        p.setBrush(suit.color);
        p.drawRoundedRect(badge, 7, 7);
        DrawText(p, badge, Font(12, true), FaceColor, QString::number(rank));
        DrawText(p, QRectF(24, 93, CardWidth - 48, 24), Font(20, false), suit.color, suit.symbol);
    } else {
        DrawText(p, QRectF(8, 26, CardWidth - 16, 48), FittingFont(rankText, 50, 62), suit.color, rankText);
        DrawText(p, QRectF(24, 80, CardWidth - 48, 32), Font(28, false), suit.color, suit.symbol);
    }
}

// A five-pointed star centred at the point.
QPainterPath Star(QPointF centre, double outer, double inner)
{
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const double radius = i % 2 == 0 ? outer : inner;
        const double angle = std::numbers::pi * (i / 5.0 - 0.5);
        const QPointF point = centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    path.closeSubpath();
    return path;
}

void PaintJoker(QPainter& p, const QColor& color)
{
    const QColor tint = color == Red ? QColor(0xFD, 0xE8, 0xEB) : QColor(0xE6, 0xE6, 0xE6);
    p.setPen(QPen(color, 1.5));
    p.setBrush(tint);
    p.drawRoundedRect(Face.adjusted(4, 4, -4, -4), CornerRadius - 2, CornerRadius - 2);

    const QString word = QStringLiteral("JOKER");
    for (int turn = 0; turn < 2; ++turn) {
        p.save();
        if (turn == 1) {
            p.translate(CardWidth, CardHeight);
            p.rotate(180);
        }
        DrawText(p, QRectF(6, 8, CardWidth - 12, 20), FittingFont(word, 17, CardWidth - 20), color, word);
        p.restore();
    }

    p.setPen(QPen(color.darker(140), 1.5));
    p.setBrush(color);
    p.drawPath(Star(QPointF(CardWidth / 2.0, CardHeight / 2.0), 30, 12));
}

}  // namespace

QImage PaintCard(int card)
{
    QImage image(CardWidth, CardHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    DrawBlankCard(p);
    if (card >= RedJoker)
        PaintJoker(p, card == RedJoker ? Red : Black);
    else
        PaintSuitCard(p, (card - 1) / RanksPerSuit, (card - 1) % RanksPerSuit + 1);
    return image;
}
