#pragma once

#include <cstddef>
#include <cstdint>

// Bytes from the system's cryptographic random source, read with getrandom()
// straight into the caller's buffer: no device to open or examine first, so
// a table made or a token drawn for every join costs one system call.
void FillFromSystemRandom(void* bytes, std::size_t size);

// A seed for a generator (a table's dealer, the default shuffle).
std::uint32_t SystemRandomSeed();
