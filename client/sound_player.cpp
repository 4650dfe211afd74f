#include "client/sound_player.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <cstring>

namespace {

quint32 LittleEndian(const QByteArray& image, qsizetype at, int bytes)
{
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<quint32>(static_cast<unsigned char>(image[at + i])) << (8 * i);
    return value;
}

bool ChunkIs(const QByteArray& image, qsizetype at, const char* tag)
{
    return std::memcmp(image.constData() + at, tag, 4) == 0;
}

std::optional<QAudioFormat::SampleFormat> PcmSampleFormat(quint32 bitsPerSample)
{
    switch (bitsPerSample) {
    case 8: return QAudioFormat::UInt8;
    case 16: return QAudioFormat::Int16;
    case 32: return QAudioFormat::Int32;
    default: return std::nullopt;
    }
}

}  // namespace

std::optional<TWaveImage> ParseWave(const QByteArray& image)
{
    constexpr quint32 pcm = 1;
    if (image.size() < 12 || !ChunkIs(image, 0, "RIFF") || !ChunkIs(image, 8, "WAVE"))
        return std::nullopt;
    TWaveImage wave;
    bool haveFormat = false;
    qsizetype at = 12;
    while (image.size() - at >= 8) {
        const qsizetype size = LittleEndian(image, at + 4, 4);
        const qsizetype body = at + 8;
        if (size > image.size() - body)
            return std::nullopt;
        if (ChunkIs(image, at, "fmt ") && size >= 16) {
            const auto sampleFormat = PcmSampleFormat(LittleEndian(image, body + 14, 2));
            if (LittleEndian(image, body, 2) != pcm || !sampleFormat)
                return std::nullopt;
            wave.format.setChannelCount(static_cast<int>(LittleEndian(image, body + 2, 2)));
            wave.format.setSampleRate(static_cast<int>(LittleEndian(image, body + 4, 4)));
            wave.format.setSampleFormat(*sampleFormat);
            haveFormat = wave.format.isValid();
        } else if (ChunkIs(image, at, "data") && haveFormat) {
            wave.dataOffset = body;
            wave.dataSize = size;
            return wave;
        }
        at = body + size + (size & 1);  // chunks are padded to an even size
    }
    return std::nullopt;
}

TSoundPlayer::TSoundPlayer() = default;

TSoundPlayer::~TSoundPlayer()
{
    Stop();
}

void TSoundPlayer::Play(const QByteArray& image)
{
    if (image.isEmpty())
        return;
    if (OnPlay)
        OnPlay(image);
    const std::optional<TWaveImage> wave = ParseWave(image);
    if (!wave)
        return;
    Stop();
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull() || !device.isFormatSupported(wave->format))
        return;
    // The samples are played where they lie, without a copy.
    buffer_ = std::make_unique<QBuffer>();
    buffer_->setData(QByteArray::fromRawData(image.constData() + wave->dataOffset, wave->dataSize));
    buffer_->open(QIODevice::ReadOnly);
    sink_ = std::make_unique<QAudioSink>(device, wave->format);
    sink_->start(buffer_.get());
}

void TSoundPlayer::Stop()
{
    if (sink_)
        sink_->stop();
    sink_.reset();
    buffer_.reset();
}
