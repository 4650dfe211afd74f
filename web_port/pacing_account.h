#pragma once

#include <chrono>
#include <cstdint>

// What a peer may make the server do: it earns rate bytes a second up to
// burst, and spends what it sends and what its packets make the server queue
// for sending. While it owes, it is not read (the TCP side's pacing, for a
// carrier that counts for itself). A rate of 0 turns pacing off.
class TPacingAccount {
public:
    using Clock = std::chrono::steady_clock;

    TPacingAccount(std::int64_t rate, std::int64_t burst);

    void Spend(std::int64_t bytes);
    // True while the peer owes, after earning for the time passed until now.
    bool Owes(Clock::time_point now);
    // How long until the debt is paid at the rate (zero when nothing is owed).
    std::chrono::milliseconds TimeToPay() const;

private:
    std::int64_t rate_;
    std::int64_t burst_;
    // A new peer starts with a full burst.
    double credit_;
    Clock::time_point earned_;
};
