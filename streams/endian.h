#pragma once

#include <cstdint>

// Byte order of a typed reader or writer. Only BigEndian is tested for; any
// other value behaves as LittleEndian (the host's own order).
enum TEndian : std::uint8_t { LittleEndian = 0, BigEndian = 1 };
