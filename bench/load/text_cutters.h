#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "bench/load/packet_buffer.h"
#include "bench/load/redis_framing.h"

// How the load scenarios cut what a server sends into message texts.
namespace load {

using TextCutter = std::function<void(std::string& input, const std::function<void(std::string_view text)>& take)>;

// The game's framing (the game server's and the yardstick relay's): the
// command text of every whole packet.
inline const TextCutter KivolTexts = [](std::string& input, const std::function<void(std::string_view)>& take) {
    CutPackets(input, [&](std::string_view payload) { take(TextOf(payload)); });
};

// Redis's replies: a published message's payload, "/subscribe" for a
// subscription's confirmation, nothing for any other reply.
inline const TextCutter RedisTexts = [](std::string& input, const std::function<void(std::string_view)>& take) {
    CutRedisReplies(input, take);
};

}  // namespace load
