#pragma once

// How quickly and how reliably a computer player plays, from level 1 (a
// beginner) to level 5 (an expert). It sees a solution of k cards after
// (Base + PerCard × k) seconds times a random factor around 1.

#include <array>

namespace Bots {

struct Level {
    int number = 0;        // 1..5
    double base = 0;       // seconds to see any solution at all
    double perCard = 0;    // seconds more for each card the solution uses
    double miss = 0;       // the chance it never sees the solution at one field
    double wrong = 0;      // the chance it hits by mistake, per dealt card, when nothing makes the target
};

inline constexpr std::array<Level, 5> Levels{{
    {1, 8.0, 4.0, 0.30, 0.02},
    {2, 5.0, 3.0, 0.20, 0.01},
    {3, 3.0, 2.0, 0.10, 0.0},
    {4, 2.0, 1.2, 0.05, 0.0},
    {5, 1.0, 0.6, 0.0, 0.0},
}};

inline constexpr int DefaultLevel = 3;

// The level numbered 1..5; null for any other number.
const Level* FindLevel(int number);

}  // namespace Bots
