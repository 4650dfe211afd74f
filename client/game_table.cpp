// What the received game commands do to the window: the table model takes
// the command, the window renders the model, and the live effects follow
// (the draw and hit sounds, the hit line in the chat, the target input).
// Inside a level-2 sync block the same commands rebuild the table silently.
#include <QCoreApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>

#include "client/main_window.h"
#include "platform/cp932.h"
#include "platform/exceptions.h"
#include "protocol/card_number_text.h"
#include "protocol/command_layout.h"
#include "protocol/command_words.h"
#include "protocol/fields.h"

using namespace Protocol;

namespace {

// The card's bitmap, read from its file at every draw.
QPixmap LoadCardBitmap(const QString& path)
{
    QImage image;
    if (!image.loadFromData(ReadAssetFile(path), "BMP"))
        throw Exception(
            QCoreApplication::translate("TForm1", "ビットマップ イメージは有効ではありません: %1").arg(path).toStdString());
    return QPixmap::fromImage(image);
}

// The card a "/draw" puts on the field: its two digits, or nothing when the
// pile was empty ("99" of "999").
std::optional<AnsiString> DrawnCard(std::string_view text)
{
    if (!IsCommand(text, Command::Draw))
        return std::nullopt;
    const AnsiString card = Field(text, Layout::DrawCard, Layout::CardDigits);
    if (card == CardNumberText(NoCard).substr(0, Layout::CardDigits))
        return std::nullopt;
    return card;
}

}  // namespace

void TForm1::TableCommand(std::string_view text)
{
    const std::optional<AnsiString> card = DrawnCard(text);
    // A card that finds a slot is shown from its bitmap; one that cannot be
    // read ends the draw before anything changed (in a sync block the card
    // still counts, with an empty picture: the block must rebuild the table).
    QPixmap picture;
    if (card && Table.FieldCount() < SlotCount) {
        try {
            picture = LoadCardBitmap(AssetPath(AssetDirectory, Cp932::Decode(*card + ".bmp")));
        } catch (const std::exception&) {
            if (!syncing_)
                throw;
        }
    }
    const int slotsBefore = Table.FieldCount();
    try {
        Table.Apply(text);
    } catch (const std::exception&) {
        RenderTable();
        if (!syncing_)
            throw;
        return;
    }
    if (Table.FieldCount() > slotsBefore)
        Images[static_cast<std::size_t>(slotsBefore)]->setPixmap(picture);
    RenderTable();
    if (IsCommand(text, Command::Set))
        edtMokuteki->setText(Cp932::Decode(FieldFrom(text, Layout::SetTarget)));
    if (IsCommand(text, Command::Hit)) {
        // The three seconds always count from the latest hit.
        timHit.SetEnabled(false);
        timHit.SetEnabled(true);
    }
    if (syncing_)
        return;
    if (card)
        SoundPlayer.Play(sndDraw);
    if (IsCommand(text, Command::Hit)) {
        mmChat->InsertFirstLine(QStringLiteral("!!!!!!!!!--------   ") + Cp932::Decode(FieldFrom(text, Layout::HitText)) +
                                QStringLiteral("       --------!!!!!!!!!"));
        SoundPlayer.Play(sndHit);
    }
}

void TForm1::timHitTimer()
{
    Table.EndHit();
    lblHit->setVisible(false);
    timHit.SetEnabled(false);
}

void TForm1::TableHele()
{
    SoundPlayer.Play(sndHele);
}
