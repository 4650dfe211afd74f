#include "transport/packet_socket_rw.h"

#include <cerrno>
#include <cstring>
#include <limits>
#include <string>

#include "platform/exceptions.h"

namespace {

std::int32_t LittleEndianInt32(const char* p)
{
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::int32_t>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<std::uint32_t>(b[3]) << 24);
}

void StoreLittleEndianInt32(char* p, std::int32_t value)
{
    const auto v = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>(v >> (8 * i));
}

}  // namespace

TPacketSocketRW::TPacketSocketRW(TCustomWinSocket* socket) : TCustomSocketRW(socket) {}

void TPacketSocketRW::AppendHeader(int size)
{
    char header[4];
    StoreLittleEndianInt32(header, size);
    SendBuffer.Write(header, 4);
}

void TPacketSocketRW::Send(const void* buf, int size)
{
    if (size < 0)
        throw Exception("パケットの長さが負です");
    if (!MayQueue(std::int64_t{size} + 4))
        return;
    AppendHeader(size);
    SendBuffer.Write(buf, size);
    Flush();
}

void TPacketSocketRW::SendStream(TStream* stream, int count)
{
    if (count == 0) {
        count = static_cast<int>(stream->GetSize());
        if (count == 0)
            return;
    }
    if (count < 0)
        throw EReadError(Messages::ReadError);
    if (!MayQueue(std::int64_t{count} + 4))
        return;
    const int start = SendBuffer.Count();
    AppendHeader(count);
    if (SendBuffer.ReadFromStream(stream, count) != count) {
        // A short stream would leave a header promising bytes that never come.
        SendBuffer.SetSize(start);
        throw EReadError(Messages::ReadError);
    }
    Flush();
}

TStream* TPacketSocketRW::PacketBegin()
{
    if (PacketStart != -1)
        throw Exception("既にパケット書き込み中です.");
    PacketStart = SendBuffer.Count();
    AppendHeader(0);
    return &SendBuffer;
}

void TPacketSocketRW::PacketEnd()
{
    if (PacketStart == -1)
        throw Exception("パケット書き込み中ではありません.");
    const int n = SendBuffer.Count() - PacketStart;
    if (n == 4) {
        PacketDiscard();
        return;
    }
    // The limit applies to the whole packet, which is already in the buffer.
    if (MaxSendQueue > 0 && SendBuffer.Count() > MaxSendQueue) {
        PacketDiscard();
        MayQueue(n);
        return;
    }
    StoreLittleEndianInt32(SendBuffer.Head + PacketStart, n - 4);
    PacketStart = -1;
    QueuedOnThisThread() += n;
    Flush();
}

void TPacketSocketRW::PacketDiscard()
{
    if (PacketStart == -1)
        return;
    SendBuffer.SetSize(PacketStart);
    PacketStart = -1;
}

void TPacketSocketRW::ReadEvent(TObject*, TCustomWinSocket*)
{
    const auto alive = AliveToken();
    while (RecvBuffer.Count() > 4) {
        const std::int32_t length = LittleEndianInt32(RecvBuffer.Head);
        if (length < 0 || length > std::numeric_limits<std::int32_t>::max() - 4) {
            FailConnection(eeReceive, EPROTO, "不正なパケット長です (" + std::to_string(length) + ")");
            return;
        }
        const int total = length + 4;
        // A packet too large to be held whole is refused on its header.
        if (!WithinUnprocessedLimit(total))
            return;
        if (total > RecvBuffer.Count())
            return;
        if (OnPacketArrived) {
            OnPacketArrived(this, Socket, RecvBuffer.Head + 4, length);
            if (!*alive)
                return;
        }
        RecvBuffer.AdvanceHead(total);
    }
}
