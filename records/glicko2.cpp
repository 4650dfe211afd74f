#include "records/glicko2.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Glicko2 {

namespace {

// Ratings and deviations on the Glicko-2 scale are the Glicko ones divided
// by this, around 1500.
constexpr double Scale = 173.7178;
constexpr double NewcomerDeviation = 350;
constexpr double Convergence = 0.000001;

double G(double phi)
{
    return 1 / std::sqrt(1 + 3 * phi * phi / (std::numbers::pi * std::numbers::pi));
}

double Expected(double mu, double muOpponent, double phiOpponent)
{
    return 1 / (1 + std::exp(-G(phiOpponent) * (mu - muOpponent)));
}

// The new volatility: the root of f by the Illinois variant of regula falsi.
double NewVolatility(double phi, double sigma, double v, double delta, double tau)
{
    const double a = std::log(sigma * sigma);
    auto f = [&](double x) {
        const double ex = std::exp(x);
        const double d = phi * phi + v + ex;
        return ex * (delta * delta - phi * phi - v - ex) / (2 * d * d) - (x - a) / (tau * tau);
    };
    double A = a;
    double B;
    if (delta * delta > phi * phi + v) {
        B = std::log(delta * delta - phi * phi - v);
    } else {
        int k = 1;
        while (f(a - k * tau) < 0)
            ++k;
        B = a - k * tau;
    }
    double fA = f(A);
    double fB = f(B);
    while (std::abs(B - A) > Convergence) {
        const double C = A + (A - B) * fA / (fB - fA);
        const double fC = f(C);
        if (fC * fB <= 0) {
            A = B;
            fA = fB;
        } else {
            fA /= 2;
        }
        B = C;
        fB = fC;
    }
    return std::exp(A / 2);
}

}  // namespace

TRating Update(const TRating& player, std::span<const TResult> results, double tau)
{
    if (results.empty())
        return AfterIdlePeriods(player, 1);
    const double mu = (player.Rating - 1500) / Scale;
    const double phi = player.Deviation / Scale;
    double inverseV = 0;
    double improvement = 0;
    for (const TResult& r : results) {
        const double muJ = (r.Opponent.Rating - 1500) / Scale;
        const double phiJ = r.Opponent.Deviation / Scale;
        const double e = Expected(mu, muJ, phiJ);
        inverseV += G(phiJ) * G(phiJ) * e * (1 - e);
        improvement += G(phiJ) * (r.Score - e);
    }
    const double v = 1 / inverseV;
    const double sigma = NewVolatility(phi, player.Volatility, v, v * improvement, tau);
    const double phiStar = std::sqrt(phi * phi + sigma * sigma);
    const double phiNew = 1 / std::sqrt(1 / (phiStar * phiStar) + 1 / v);
    const double muNew = mu + phiNew * phiNew * improvement;
    return {1500 + Scale * muNew, Scale * phiNew, sigma};
}

TRating AfterIdlePeriods(const TRating& player, long long periods)
{
    if (periods <= 0)
        return player;
    const double phi = player.Deviation / Scale;
    const double widened = std::sqrt(phi * phi + static_cast<double>(periods) * player.Volatility * player.Volatility);
    return {player.Rating, std::min(NewcomerDeviation, Scale * widened), player.Volatility};
}

TRating BotRating(int level)
{
    return {static_cast<double>(750 + 250 * std::clamp(level, 1, 5)), 50, 0.06};
}

}  // namespace Glicko2
