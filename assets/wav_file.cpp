#include "assets/wav_file.h"

#include <algorithm>
#include <cmath>

#include "platform/file_stream.h"
#include "platform/memory_stream.h"
#include "streams/stream_writer.h"

void WriteWavFile(const AnsiString& fileName, const std::vector<double>& samples)
{
    constexpr short pcmFormat = 1;
    constexpr short channels = 1;
    constexpr short bytesPerSample = 2;
    const int dataSize = static_cast<int>(samples.size()) * bytesPerSample;

    TMemoryStream image;
    TStreamWriter out(&image, LittleEndian);
    out.WriteString("RIFF");
    out.WriteInt(36 + dataSize, 4);
    out.WriteString("WAVE");
    out.WriteString("fmt ");
    out.WriteInt(16, 4);
    out.WriteShort(pcmFormat);
    out.WriteShort(channels);
    out.WriteInt(SampleRate, 4);
    out.WriteInt(SampleRate * channels * bytesPerSample, 4);
    out.WriteShort(channels * bytesPerSample);
    out.WriteShort(8 * bytesPerSample);
    out.WriteString("data");
    out.WriteInt(dataSize, 4);
    for (double s : samples)
        out.WriteShort(static_cast<short>(std::lround(std::clamp(s, -1.0, 1.0) * 32767.0)));

    TFileStream file(fileName, fmCreate);
    file.CopyFrom(&image, 0);
}
