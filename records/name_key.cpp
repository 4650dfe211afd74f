#include "records/name_key.h"

#include <openssl/sha.h>
#include <sys/random.h>

#include <cerrno>
#include <cstdint>

#include "platform/exceptions.h"

namespace Records {

namespace {

std::string Hex(const std::uint8_t* bytes, std::size_t size)
{
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * size);
    for (std::size_t i = 0; i < size; ++i) {
        text += Digits[bytes[i] >> 4];
        text += Digits[bytes[i] & 15];
    }
    return text;
}

}  // namespace

std::string NewNameKey()
{
    std::uint8_t bytes[16];
    std::size_t filled = 0;
    while (filled < sizeof bytes) {
        const ssize_t n = getrandom(bytes + filled, sizeof bytes - filled, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw Exception("no random bytes for a name key");
        filled += static_cast<std::size_t>(n);
    }
    return Hex(bytes, sizeof bytes);
}

std::string NameKeyHash(std::string_view key)
{
    std::uint8_t digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(key.data()), key.size(), digest);
    return Hex(digest, sizeof digest);
}

bool SameHash(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

}  // namespace Records
