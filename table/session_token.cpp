#include "table/session_token.h"

#include <QCryptographicHash>
#include <cstdint>

#include "table/system_random.h"

std::string NewSessionToken()
{
    std::uint8_t bytes[16];
    FillFromSystemRandom(bytes, sizeof bytes);
    static constexpr char Hex[] = "0123456789abcdef";
    std::string token;
    token.reserve(2 * sizeof bytes);
    for (std::uint8_t b : bytes) {
        token += Hex[b >> 4];
        token += Hex[b & 15];
    }
    return token;
}

std::string SessionTokenHash(std::string_view token)
{
    const QByteArray digest = QCryptographicHash::hash(
        QByteArrayView(token.data(), static_cast<qsizetype>(token.size())), QCryptographicHash::Sha256);
    return digest.toHex().toStdString();
}

bool SameToken(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}
