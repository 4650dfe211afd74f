#pragma once

#include <QAudioFormat>
#include <QByteArray>
#include <functional>
#include <memory>
#include <optional>

class QAudioSink;
class QBuffer;

// Where the samples of a PCM WAV image lie, and how to play them.
struct TWaveImage {
    QAudioFormat format;
    qsizetype dataOffset = 0;
    qsizetype dataSize = 0;
};

// Reads the "fmt " and "data" chunks of a RIFF WAVE image holding 8-, 16- or
// 32-bit integer PCM. Nothing for anything else; never reads past the image.
std::optional<TWaveImage> ParseWave(const QByteArray& image);

// Plays WAV images held in memory, asynchronously, one at a time: starting a
// sound cuts off the one still playing. An empty or unreadable image, or a
// machine without a sound device, plays nothing and reports nothing.
class TSoundPlayer {
public:
    TSoundPlayer();
    ~TSoundPlayer();

    // The image must stay alive and unchanged while it plays (the window's
    // sound buffers live as long as the window).
    void Play(const QByteArray& image);

    // Told of every sound that is started, whether or not a device plays it:
    // the one place where a machine without sound shows what was played.
    std::function<void(const QByteArray& image)> OnPlay;

private:
    void Stop();

    std::unique_ptr<QBuffer> buffer_;
    std::unique_ptr<QAudioSink> sink_;
};
