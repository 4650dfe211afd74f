#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/memory_stream.h"
#include "streams/stream_reader.h"

namespace {

const char* const SoundNames[] = {"draw.wav", "join.wav", "hit.wav", "message.wav", "hele.wav"};

struct Wav {
    int format = 0;
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    std::vector<short> samples;
};

std::string Tag(TStreamReader& in)
{
    char tag[4];
    in.ReadBuffer(tag, 4);
    return std::string(tag, 4);
}

// Reads a RIFF WAVE file that holds one "fmt " and one "data" chunk, in that
// order, as the client's sound player expects them.
Wav ReadWav(const std::string& name)
{
    TMemoryStream file;
    file.LoadFromFile(KIVOL_ASSET_DIR "/" + name);
    TStreamReader in(&file, LittleEndian);
    Wav wav;
    EXPECT_EQ(Tag(in), "RIFF");
    EXPECT_EQ(in.ReadInt(4), file.GetSize() - 8) << "RIFF size";
    EXPECT_EQ(Tag(in), "WAVE");
    EXPECT_EQ(Tag(in), "fmt ");
    EXPECT_EQ(in.ReadInt(4), 16);
    wav.format = in.ReadShort();
    wav.channels = in.ReadShort();
    wav.sampleRate = in.ReadInt(4);
    EXPECT_EQ(in.ReadInt(4), wav.sampleRate * 2) << "byte rate";
    EXPECT_EQ(in.ReadShort(), 2) << "block align";
    wav.bitsPerSample = in.ReadShort();
    EXPECT_EQ(Tag(in), "data");
    const int dataSize = in.ReadInt(4);
    EXPECT_EQ(dataSize, file.GetSize() - 44);
    wav.samples.resize(static_cast<std::size_t>(std::max(dataSize, 0) / 2));
    for (short& s : wav.samples)
        s = in.ReadShort();
    return wav;
}

}  // namespace

TEST(SoundFiles, AreShortMono16BitPcm)
{
    for (const char* name : SoundNames) {
        const Wav wav = ReadWav(name);
        EXPECT_EQ(wav.format, 1) << name;
        EXPECT_EQ(wav.channels, 1) << name;
        EXPECT_EQ(wav.sampleRate, 22050) << name;
        EXPECT_EQ(wav.bitsPerSample, 16) << name;
        const double seconds = static_cast<double>(wav.samples.size()) / 22050;
        EXPECT_GE(seconds, 0.1) << name;
        EXPECT_LE(seconds, 0.6) << name;
    }
}

TEST(SoundFiles, AreAudibleNeverClipAndStartAndEndInSilence)
{
    for (const char* name : SoundNames) {
        const std::vector<short> samples = ReadWav(name).samples;
        ASSERT_FALSE(samples.empty()) << name;
        int peak = 0;
        for (short s : samples)
            peak = std::max(peak, std::abs(static_cast<int>(s)));
        EXPECT_GE(peak, 32767 / 4) << name << " is too quiet";
        EXPECT_LE(peak, 32767 * 9 / 10) << name << " comes too close to clipping";
        EXPECT_LE(std::abs(samples.front()), 300) << name << " starts with a click";
        EXPECT_LE(std::abs(samples.back()), 300) << name << " ends with a click";
    }
}

TEST(SoundFiles, AreDistinct)
{
    std::vector<std::vector<short>> sounds;
    for (const char* name : SoundNames)
        sounds.push_back(ReadWav(name).samples);
    for (std::size_t a = 0; a < sounds.size(); ++a)
        for (std::size_t b = a + 1; b < sounds.size(); ++b)
            EXPECT_NE(sounds[a], sounds[b]) << SoundNames[a] << " and " << SoundNames[b];
}
