#pragma once

#include <string>
#include <string_view>

// The key that proves a registered name belongs to its holder: 128 bits from
// the system's cryptographic random source as 32 lowercase hex digits. The
// store keeps only its SHA-256.
namespace Records {

std::string NewNameKey();

// The SHA-256 of a key as 64 lowercase hex digits.
std::string NameKeyHash(std::string_view key);

// Compares two hashes in time that does not depend on where they differ.
bool SameHash(std::string_view a, std::string_view b);

}  // namespace Records
