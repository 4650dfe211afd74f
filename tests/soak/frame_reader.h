#pragma once

// Cuts the bytes a soak client receives into packets as they arrive, checking
// every length, without copying the payload of large packets.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

namespace soak {

class FrameReader {
public:
    // The longest packet the server can send: a relayed packet within the
    // receive limit.
    static constexpr std::uint32_t MaxPayload = 1u << 20;
    // Payloads kept for inspection, and the most that are kept.
    static constexpr std::size_t KeptSize = 4096;
    static constexpr std::size_t KeptCount = 32;

    // False when a length is impossible; nothing more is taken then.
    bool Feed(const char* bytes, std::size_t count);

    long Packets() const { return packets_; }
    // The last payloads received, oldest first; a large one is kept as "<large>".
    const std::deque<std::string>& Recent() const { return recent_; }
    // Counts, from now on, the payloads that end with suffix.
    void WatchFor(std::string suffix);
    long Matches() const { return matches_; }

private:
    void Complete();

    unsigned char header_[4] = {};
    int headerBytes_ = 0;
    std::uint32_t remaining_ = 0;
    bool inPayload_ = false;
    bool keep_ = false;
    std::string payload_;
    long packets_ = 0;
    std::deque<std::string> recent_;
    std::string watched_;
    long matches_ = 0;
};

}  // namespace soak
