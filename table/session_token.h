#pragma once

#include <string>
#include <string_view>

// A level-2 token: 128 bits from the system's cryptographic random source,
// written as 32 lowercase hex digits. It names one roster entry, so that the
// player who holds it (and nobody else) can take the entry back after a drop.
std::string NewSessionToken();

// The SHA-256 of a token as 64 lowercase hex digits: what the server keeps
// and saves in place of the token.
std::string SessionTokenHash(std::string_view token);

// Compares two tokens (or two hashes) in time that does not depend on where they differ.
bool SameToken(std::string_view a, std::string_view b);
