// kivol_assets: writes the client's card bitmaps (01.bmp ... 54.bmp), the same
// pictures as PNG for the browser client (01.png ... 54.png), and the five
// sounds into the folder named by the one argument. The build runs it so that
// the files land next to the programs.
#include <QDir>
#include <QGuiApplication>
#include <cstdio>
#include <utility>
#include <vector>

#include "assets/card_painter.h"
#include "assets/sounds.h"
#include "assets/wav_file.h"
#include "platform/exceptions.h"
#include "protocol/card_number_text.h"

namespace {

constexpr int CardCount = 54;

void WriteCards(const QDir& folder)
{
    for (int card = 1; card <= CardCount; ++card) {
        const QImage picture = PaintCard(card);
        for (const char* format : {"BMP", "PNG"}) {
            const QString fileName = folder.filePath(QString::fromStdString(Protocol::CardNumberText(card)) + "." +
                                                     QString::fromLatin1(format).toLower());
            if (!picture.save(fileName, format))
                throw EFCreateError(FormatMessage(Messages::FCreateError, fileName.toStdString()));
        }
    }
}

void WriteSounds(const QDir& folder)
{
    const std::pair<const char*, std::vector<double> (*)()> sounds[] = {
        {"draw.wav", Sounds::Draw}, {"join.wav", Sounds::Join},       {"hit.wav", Sounds::Hit},
        {"message.wav", Sounds::Message}, {"hele.wav", Sounds::Hele},
    };
    for (const auto& [name, make] : sounds)
        WriteWavFile(folder.filePath(QString::fromLatin1(name)).toStdString(), make());
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kivol_assets <output folder>\n");
        return 2;
    }
    try {
        const QDir folder(QString::fromLocal8Bit(argv[1]));
        if (!folder.mkpath(QStringLiteral(".")))
            throw EFCreateError(FormatMessage(Messages::FCreateError, folder.path().toStdString()));
        WriteCards(folder);
        WriteSounds(folder);
    } catch (const Exception& e) {
        std::fprintf(stderr, "kivol_assets: %s\n", e.what());
        return 1;
    }
    return 0;
}
