#include "web_port/pacing_account.h"

#include <algorithm>
#include <cmath>

TPacingAccount::TPacingAccount(std::int64_t rate, std::int64_t burst)
    : rate_(rate), burst_(burst), credit_(static_cast<double>(burst)), earned_(Clock::now())
{
}

void TPacingAccount::Spend(std::int64_t bytes)
{
    if (rate_ > 0)
        credit_ -= static_cast<double>(bytes);
}

bool TPacingAccount::Owes(Clock::time_point now)
{
    if (rate_ <= 0)
        return false;
    const double seconds = std::chrono::duration<double>(now - earned_).count();
    credit_ = std::min(credit_ + seconds * static_cast<double>(rate_), static_cast<double>(burst_));
    earned_ = now;
    return credit_ < 0;
}

std::chrono::milliseconds TPacingAccount::TimeToPay() const
{
    if (rate_ <= 0 || credit_ >= 0)
        return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(static_cast<std::int64_t>(std::ceil(-credit_ * 1000 / static_cast<double>(rate_))) + 1);
}
