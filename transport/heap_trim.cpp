#include "transport/heap_trim.h"

#include <malloc.h>

#include <QTimer>
#include <atomic>

namespace HeapTrim {

namespace {
std::atomic<std::size_t> freed{0};
std::atomic<bool> scheduled{false};
}  // namespace

void BufferFreed(std::size_t bytes)
{
    if (bytes < SmallestCounted || freed.fetch_add(bytes) + bytes < Threshold || scheduled.exchange(true))
        return;
    QTimer::singleShot(DelayMs, [] {
        freed = 0;
        scheduled = false;
        malloc_trim(0);
    });
}

}  // namespace HeapTrim
