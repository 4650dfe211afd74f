#pragma once

#include <span>

// Glicko-2 ratings (Mark Glickman's system): a rating, its deviation (RD)
// and the player's volatility, updated once per rating period from the
// results of that period.
namespace Glicko2 {

struct TRating {
    double Rating = 1500;
    double Deviation = 350;
    double Volatility = 0.06;
};

// One result of a period: the opponent's rating before the period and the
// score against it (1 win, 0.5 draw, 0 loss).
struct TResult {
    TRating Opponent;
    double Score = 0;
};

// The system constant that limits how fast the volatility changes.
inline constexpr double Tau = 0.5;

// The rating after a period with these results. A period without results
// leaves rating and volatility and widens the deviation.
TRating Update(const TRating& player, std::span<const TResult> results, double tau = Tau);

// The rating after this many periods without a game: each widens the
// deviation by the volatility, up to a newcomer's 350.
TRating AfterIdlePeriods(const TRating& player, long long periods);

// A rating means little while its deviation is this wide or wider.
inline constexpr double ProvisionalDeviation = 110;
inline bool IsProvisional(const TRating& rating)
{
    return rating.Deviation >= ProvisionalDeviation;
}

// A computer player of level 1-5: a fixed opponent that is never updated.
TRating BotRating(int level);

}  // namespace Glicko2
