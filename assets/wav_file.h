#pragma once

#include <vector>

#include "platform/ansi_string.h"

// Sounds are written as 16-bit PCM, one channel, at this rate.
inline constexpr int SampleRate = 22050;

// Writes the samples (-1.0 to 1.0; anything beyond is clamped) as a RIFF WAVE
// file, replacing an existing one. EFCreateError when it cannot be created.
void WriteWavFile(const AnsiString& fileName, const std::vector<double>& samples);
