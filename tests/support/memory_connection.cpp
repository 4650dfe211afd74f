#include "support/memory_connection.h"

void TMemoryConnection::SendPacket(const void* data, int size)
{
    if (closing_)
        ++sentAfterClosing_;
    sent_.emplace_back(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

std::vector<std::string> TMemoryConnection::TakeSent()
{
    std::vector<std::string> taken;
    taken.swap(sent_);
    return taken;
}
