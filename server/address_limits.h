#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <string>

#include "platform/address_pattern.h"

// The limits on connections from one address.
struct TAddressLimitOptions {
    int MaxPerAddress = 32;      // open connections at once; 0: no limit
    int MaxNewPerSecond = 20;    // connections accepted within any one second
    bool LimitLoopback = false;  // loopback addresses are exempt unless set
};

// Decides at accept whether a connection from an address is within the
// limits, and counts it until its release at close. A refusal is worth a log
// line at most once a minute per address; the decision says when, and how
// many refusals went unlogged since the last line. Only addresses with an
// open connection, a recent accept or a recent log line are remembered, so
// memory follows the connections, not the addresses ever seen.
class TAddressLimits {
public:
    using TClock = std::function<std::chrono::steady_clock::time_point()>;
    explicit TAddressLimits(TAddressLimitOptions options, TClock clock = std::chrono::steady_clock::now);

    struct TDecision {
        bool Accept = true;
        std::string Reason;   // why it is refused
        bool Log = false;     // log this refusal
        int Unlogged = 0;     // refusals of this address not logged since the last line
    };
    // Counts the connection as open when it is accepted.
    TDecision Accept(const TIpAddress& address);
    // A connection that Accept took has closed.
    void Release(const TIpAddress& address);

    // How many addresses are remembered (for tests and metrics).
    std::size_t Remembered() const { return entries_.size(); }

private:
    using TTime = std::chrono::steady_clock::time_point;
    struct TEntry {
        int Open = 0;
        std::deque<TTime> Accepts;  // within the last second, oldest first
        TTime LastLog{};
        bool Logged = false;
        int Unlogged = 0;
    };
    bool Exempt(const TIpAddress& address) const;
    TDecision Refuse(TEntry& entry, TTime now, std::string reason);
    void ForgetIdle(TTime now);

    TAddressLimitOptions options_;
    TClock clock_;
    std::map<TIpAddress, TEntry> entries_;
    TTime lastSweep_{};
};
