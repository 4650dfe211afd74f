#include "table/system_random.h"

#include <sys/random.h>

#include <cerrno>

#include "platform/exceptions.h"

void FillFromSystemRandom(void* bytes, std::size_t size)
{
    auto* at = static_cast<unsigned char*>(bytes);
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t n = getrandom(at + filled, size - filled, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw Exception("乱数を取得できません");
        filled += static_cast<std::size_t>(n);
    }
}

std::uint32_t SystemRandomSeed()
{
    std::uint32_t seed = 0;
    FillFromSystemRandom(&seed, sizeof seed);
    return seed;
}
