// What the received game commands do to the table. The table is a picture of
// what the server's commands said: the pile count, the field slots with their
// drawers, the seats' names and hand counts, the target and the hit flash.
//
// A client that joined during a game can receive commands that go past either
// end of the table (a thirteenth card, a take from an empty field) or name a
// seat 6 to 9: the part that would leave the twelve slots and six seats is
// left out, and a move naming such a seat is ignored whole, as the server
// ignores it.
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

#include "client/label_value.h"
#include "client/main_window.h"
#include "platform/convert.h"
#include "platform/cp932.h"
#include "platform/exceptions.h"
#include "protocol/fields.h"
#include "protocol/padded_name.h"

using namespace Protocol;

namespace {

void Add(QLabel* label, int defaultValue, int change)
{
    label->setText(QString::number(LabelValue(label, defaultValue) + change));
}

// The seat number in the one-byte field at position: a digit's value, 0 to 9,
// or EConvertError when the byte is not a digit.
int SeatNumber(std::string_view text, int position)
{
    return StrToInt(Cp932::Decode(Field(text, position, 1)));
}

bool OnTable(int seat)
{
    return seat >= 0 && seat < TForm1::SeatCount;
}

// True when the field is a digit that names no seat of the table.
bool NamesSeatOffTable(std::string_view text, int position)
{
    const AnsiString digit = Field(text, position, 1);
    return digit >= "6" && digit <= "9";
}

QString Name(std::string_view text, int position)
{
    return Cp932::Decode(Field(text, position, PaddedNameLength));
}

// The card's bitmap, read from its file at every draw.
QPixmap LoadCardBitmap(const QString& path)
{
    QImage image;
    if (!image.loadFromData(ReadAssetFile(path), "BMP"))
        throw Exception("ビットマップ イメージは有効ではありません: " + path.toStdString());
    return QPixmap::fromImage(image);
}

}  // namespace

void TForm1::TableTake(std::string_view text)
{
    const int seat = SeatNumber(text, 7);
    if (OnTable(seat))
        lblTNames[seat]->setText(Name(text, 9));
}

void TForm1::TableLeave(std::string_view text)
{
    const int seat = SeatNumber(text, 8);
    if (OnTable(seat))
        lblTNames[seat]->clear();
}

void TForm1::TableDraw(std::string_view text)
{
    const AnsiString card = Field(text, 16, 2);
    if (card == "99") {
        // The pile was empty: no card was drawn.
        lblYamafuda->setText(QStringLiteral("0"));
        return;
    }
    if (BafudaCount < SlotCount) {
        Images[BafudaCount]->setPixmap(LoadCardBitmap(AssetPath(AssetDirectory, Cp932::Decode(card + ".bmp"))));
        lblCards[BafudaCount]->setText(Name(text, 7));
        ++BafudaCount;
    }
    Add(lblYamafuda, 54, -1);
    SoundPlayer.Play(sndDraw);
}

void TForm1::TakeLastFieldCard()
{
    if (BafudaCount == 0)
        return;
    --BafudaCount;
    Images[BafudaCount]->clear();
    lblCards[BafudaCount]->clear();
}

// In "/B2T" and "/T2Y" the seat is read after the field or the pile has
// changed, so a seat that is not a number leaves that change in place.
void TForm1::TableB2T(std::string_view text)
{
    if (NamesSeatOffTable(text, 6))
        return;
    TakeLastFieldCard();
    Add(lblTables[SeatNumber(text, 6)], 0, 1);
}

void TForm1::TableT2Y(std::string_view text)
{
    if (NamesSeatOffTable(text, 6))
        return;
    Add(lblYamafuda, 0, 1);
    Add(lblTables[SeatNumber(text, 6)], 0, -1);
}

void TForm1::TableB2Y()
{
    TakeLastFieldCard();
    Add(lblYamafuda, 0, 1);
}

void TForm1::TableHit(std::string_view text)
{
    lblHit->setVisible(true);
    // The three seconds always count from the latest hit.
    timHit.SetEnabled(false);
    timHit.SetEnabled(true);
    mmChat->InsertFirstLine(QStringLiteral("!!!!!!!!!--------   ") + Cp932::Decode(FieldFrom(text, 6)) +
                            QStringLiteral("       --------!!!!!!!!!"));
    SoundPlayer.Play(sndHit);
}

void TForm1::timHitTimer()
{
    lblHit->setVisible(false);
    timHit.SetEnabled(false);
}

void TForm1::TableInit()
{
    Panel2->setVisible(true);
    lblYamafuda->setText(QStringLiteral("54"));
    lblMokuteki->setText(QStringLiteral("目的数"));
    lblMName->clear();
    for (int s = 0; s < SeatCount; ++s) {
        lblTNames[s]->clear();
        lblTables[s]->setText(QStringLiteral("0"));
        btnT2Ys[s]->setVisible(false);
        btnB2Ts[s]->setVisible(false);
        btnTakes[s]->setText(QStringLiteral("座る"));
    }
    for (int i = 0; i < SlotCount; ++i) {
        Images[i]->clear();
        lblCards[i]->clear();
    }
    BafudaCount = 0;
}

void TForm1::TableSet(std::string_view text)
{
    const QString target = Cp932::Decode(FieldFrom(text, 15));
    lblMName->setText(Name(text, 6));
    lblMokuteki->setText(target);
    edtMokuteki->setText(target);
}

void TForm1::TableHele()
{
    SoundPlayer.Play(sndHele);
}
