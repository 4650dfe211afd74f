#include "transport/non_blocking_socket_stream.h"

#include <algorithm>
#include <vector>

#include "platform/exceptions.h"

TNonBlockingSocketStream::TNonBlockingSocketStream(TCustomWinSocket* socket) : Socket(socket)
{
    if (socket && !socket->NonBlocking())
        throw ESocketError("Socket mode must be NonBlocking.");
}

int TNonBlockingSocketStream::Read(void* buffer, int count)
{
    if (!Socket || !Socket->Connected())
        return 0;
    return std::max(Socket->ReceiveBuf(buffer, count), 0);
}

int TNonBlockingSocketStream::Write(const void* buffer, int count)
{
    if (!Socket || !Socket->Connected())
        return 0;
    return std::max(Socket->SendBuf(buffer, count), 0);
}

int TNonBlockingSocketStream::Seek(int offset, std::uint16_t origin)
{
    if (!Socket)
        return 0;
    if (origin == soFromEnd && offset == 0)
        return Socket->ReceiveLength();
    if (origin == soFromCurrent && offset > 0) {
        std::vector<char> scratch(static_cast<std::size_t>(offset));
        ReadBuffer(scratch.data(), offset);
    }
    return 0;
}
