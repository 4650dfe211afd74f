#pragma once

#include <cstddef>

// Buffers given back by idle connections return to the C library's heap,
// which keeps the freed pages mapped: after a burst (a roster sent to every
// player, say) a server would stay at its high-water mark for good. Once
// enough buffer memory has been freed, the heap's free pages are handed back
// to the system a second later, on the thread's event loop, so that a burst
// of frees costs one trim.
//
// Only blocks of a page or more count. Smaller ones stay in the library's
// caches for the next allocation, where a trim cannot reach them; counting
// them would make steady chat (a block taken and given back for every line)
// trim about once a second, a stall of milliseconds each time.
namespace HeapTrim {

constexpr std::size_t Threshold = 1 << 20;
constexpr std::size_t SmallestCounted = 4096;
constexpr int DelayMs = 1000;

// Counts a block of buffer memory just freed on this thread.
void BufferFreed(std::size_t bytes);

}  // namespace HeapTrim
