// The client's packet handler applying arbitrary commands to a real window,
// offscreen. Each input is a series of packets (a length byte, then that many
// payload bytes), handed to the window one by one as they would arrive from
// the server; the error reports they cause are posted and run in between.
// After every packet the table must still be inside its model: at most twelve
// filled field slots, every slot from the counter on empty, and the window's
// slot counter the model's field. Level-2 texts (a sync block, away marks,
// judgements) reach it as well.
#include <QCoreApplication>
#include <QLabel>

#include "client/main_window.h"
#include "fuzz_support.h"

namespace {

TForm1& Window()
{
    static TForm1* window = [] {
        auto* w = new TForm1();
        // Silence: a sound device (or its absence) is no part of the table.
        for (QByteArray* sound : {&w->sndJoin, &w->sndDraw, &w->sndHit, &w->sndMessage, &w->sndHele})
            sound->clear();
        return w;
    }();
    return *window;
}

void CheckTable(const TForm1& window)
{
    if (window.BafudaCount < 0 || window.BafudaCount > TForm1::SlotCount)
        fuzz::Fail("the field counter left 0..12: " + std::to_string(window.BafudaCount));
    if (window.BafudaCount != window.Table.FieldCount())
        fuzz::Fail("the window shows " + std::to_string(window.BafudaCount) + " field cards, the model holds " +
                   std::to_string(window.Table.FieldCount()));
    for (int slot = window.BafudaCount; slot < TForm1::SlotCount; ++slot)
        if (!window.lblCards[static_cast<std::size_t>(slot)]->text().isEmpty())
            fuzz::Fail("slot " + std::to_string(slot) + " holds a drawer's name behind the counter");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TForm1& window = Window();
    fuzz::InputReader input(data, size);
    while (!input.AtEnd()) {
        const std::string_view payload = input.Bytes(input.Byte());
        window.pcsPacketArrived(nullptr, nullptr, payload.data(), static_cast<int>(payload.size()));
        QCoreApplication::processEvents();
        CheckTable(window);
    }
    return 0;
}
