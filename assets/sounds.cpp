#include "assets/sounds.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>

#include "assets/wav_file.h"

namespace Sounds {

namespace {

constexpr double Pi = std::numbers::pi;
constexpr double TwoPi = 2 * Pi;
constexpr double Peak = 0.5;  // -6 dBFS

// Amplitude at time t of a note that rises linearly over `attack` seconds and
// then decays exponentially with the time constant `decay`.
double Envelope(double t, double attack, double decay)
{
    if (t < 0)
        return 0;
    return t < attack ? t / attack : std::exp(-(t - attack) / decay);
}

// A sound of the given length whose sample at time t is wave(t), faded out
// over its last 20 ms and scaled to peak at Peak.
std::vector<double> Render(double seconds, const std::function<double(double)>& wave)
{
    constexpr double fadeOut = 0.02;
    const auto count = static_cast<std::size_t>(seconds * SampleRate);
    std::vector<double> samples(count);
    double loudest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / SampleRate;
        const double tail = std::clamp((seconds - t) / fadeOut, 0.0, 1.0);
        samples[i] = wave(t) * (0.5 - 0.5 * std::cos(Pi * tail));
        loudest = std::max(loudest, std::abs(samples[i]));
    }
    for (double& s : samples)
        s *= Peak / loudest;
    return samples;
}

// A struck bell-like note at time `start`: partials at whole multiples of the
// frequency, the higher ones quieter and shorter.
double Chime(double t, double start, double frequency)
{
    const double u = t - start;
    if (u < 0)
        return 0;
    return std::sin(TwoPi * frequency * u) * Envelope(u, 0.004, 0.22)
        + 0.30 * std::sin(TwoPi * 2 * frequency * u) * Envelope(u, 0.004, 0.10)
        + 0.10 * std::sin(TwoPi * 3 * frequency * u) * Envelope(u, 0.004, 0.05);
}

// Repeatable white noise in -1 .. 1.
class Noise {
public:
    double Next()
    {
        state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(state_ >> 11) / static_cast<double>(1ull << 53) * 2 - 1;
    }

private:
    std::uint64_t state_ = 0x4B69766F6Cull;
};

}  // namespace

std::vector<double> Draw()
{
    // A plucked string (Karplus-Strong): a delay line filled with softened
    // noise, averaged as it circulates, so the tone mellows as it dies away.
    constexpr double frequency = 587.33;  // D5
    const auto period = static_cast<std::size_t>(SampleRate / frequency);
    std::vector<double> line(period);
    Noise noise;
    double previous = 0;
    for (double& x : line) {
        previous = 0.7 * previous + 0.3 * noise.Next();
        x = previous;
    }
    std::size_t index = 0;
    return Render(0.15, [&](double t) {
        const double out = line[index];
        const double next = line[(index + 1) % period];
        line[index] = 0.996 * 0.5 * (out + next);
        index = (index + 1) % period;
        return out * Envelope(t, 0.002, 0.05);
    });
}

std::vector<double> Join()
{
    // E5, then B5 a fifth above.
    return Render(0.55, [](double t) { return Chime(t, 0, 659.25) + 0.9 * Chime(t, 0.13, 987.77); });
}

std::vector<double> Hit()
{
    // A wood-block strike: inharmonic partials that die within a few tens of
    // milliseconds, a burst of noise for the impact and a falling low thump.
    Noise noise;
    double thumpPhase = 0;
    return Render(0.28, [&](double t) {
        const double strike = std::sin(TwoPi * 1250 * t) * Envelope(t, 0.001, 0.060)
            + 0.55 * std::sin(TwoPi * 3400 * t) * Envelope(t, 0.001, 0.025)
            + 0.30 * std::sin(TwoPi * 6100 * t) * Envelope(t, 0.001, 0.012);
        const double impact = 0.6 * noise.Next() * Envelope(t, 0.0005, 0.006);
        thumpPhase += TwoPi * (90 + 130 * std::exp(-t / 0.03)) / SampleRate;
        const double thump = 0.9 * std::sin(thumpPhase) * Envelope(t, 0.002, 0.07);
        return strike + impact + thump;
    });
}

std::vector<double> Message()
{
    // A5 with soft overtones and a slow decay.
    return Render(0.45, [](double t) {
        return (std::sin(TwoPi * 880 * t) + 0.15 * std::sin(TwoPi * 1760 * t) + 0.04 * std::sin(TwoPi * 2640 * t))
            * Envelope(t, 0.008, 0.13);
    });
}

std::vector<double> Hele()
{
    // A spring: the pitch glides up an octave while it wobbles, the wobble
    // settling as the sound goes on.
    double phase = 0;
    return Render(0.55, [&](double t) {
        const double glide = 190 * std::pow(2.0, std::min(t / 0.35, 1.0));
        const double wobble = 1 + 0.14 * std::sin(TwoPi * 13 * t) * std::exp(-t / 0.25);
        phase += TwoPi * glide * wobble / SampleRate;
        return (std::sin(phase) + 0.35 * std::sin(2 * phase) + 0.12 * std::sin(3 * phase))
            * Envelope(t, 0.012, 0.35);
    });
}

}  // namespace Sounds
