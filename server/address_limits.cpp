#include "server/address_limits.h"

namespace {

constexpr std::chrono::seconds RateWindow{1};
constexpr std::chrono::minutes LogInterval{1};

}  // namespace

TAddressLimits::TAddressLimits(TAddressLimitOptions options, TClock clock)
    : options_(options), clock_(std::move(clock))
{
}

bool TAddressLimits::Exempt(const TIpAddress& address) const
{
    return address.IsLoopback() && !options_.LimitLoopback;
}

TAddressLimits::TDecision TAddressLimits::Accept(const TIpAddress& address)
{
    if (Exempt(address))
        return {};
    const TTime now = clock_();
    ForgetIdle(now);
    TEntry& entry = entries_[address];
    while (!entry.Accepts.empty() && now - entry.Accepts.front() >= RateWindow)
        entry.Accepts.pop_front();
    if (options_.MaxPerAddress > 0 && entry.Open >= options_.MaxPerAddress)
        return Refuse(entry, now, "more than " + std::to_string(options_.MaxPerAddress) + " connections from "
                                      + address.Text());
    if (options_.MaxNewPerSecond > 0 && static_cast<int>(entry.Accepts.size()) >= options_.MaxNewPerSecond)
        return Refuse(entry, now, "more than " + std::to_string(options_.MaxNewPerSecond)
                                      + " new connections a second from " + address.Text());
    ++entry.Open;
    entry.Accepts.push_back(now);
    return {};
}

TAddressLimits::TDecision TAddressLimits::Refuse(TEntry& entry, TTime now, std::string reason)
{
    TDecision decision{false, std::move(reason)};
    if (entry.Logged && now - entry.LastLog < LogInterval) {
        ++entry.Unlogged;
        return decision;
    }
    decision.Log = true;
    decision.Unlogged = entry.Unlogged;
    entry.Logged = true;
    entry.LastLog = now;
    entry.Unlogged = 0;
    return decision;
}

void TAddressLimits::Release(const TIpAddress& address)
{
    if (Exempt(address))
        return;
    const auto found = entries_.find(address);
    if (found != entries_.end() && found->second.Open > 0)
        --found->second.Open;
    ForgetIdle(clock_());
}

void TAddressLimits::ForgetIdle(TTime now)
{
    // A sweep at most once a second keeps the cost per accept constant.
    if (now - lastSweep_ < RateWindow)
        return;
    lastSweep_ = now;
    std::erase_if(entries_, [now](const auto& item) {
        const TEntry& entry = item.second;
        const bool recentAccept = !entry.Accepts.empty() && now - entry.Accepts.back() < RateWindow;
        const bool recentLog = entry.Logged && now - entry.LastLog < LogInterval;
        return entry.Open == 0 && !recentAccept && !recentLog;
    });
}
