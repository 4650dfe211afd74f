#include "transport/line_socket_rw.h"

#include <algorithm>

TLineSocketRW::TLineSocketRW(TCustomWinSocket* socket) : TCustomSocketRW(socket) {}

void TLineSocketRW::Send(const AnsiString& line)
{
    if (!MayQueue(static_cast<std::int64_t>(line.size()) + 2))
        return;
    SendBuffer.Write(line.data(), static_cast<int>(line.size()));
    SendBuffer.Write("\r\n", 2);
    Flush();
}

void TLineSocketRW::SendStream(TStream* stream, int count)
{
    if (count == 0)
        count = static_cast<int>(stream->GetSize());
    if (!MayQueue(std::int64_t{std::max(count, 0)} + 2))
        return;
    if (count > 0)
        SendBuffer.ReadFromStream(stream, count);
    SendBuffer.Write("\r\n", 2);
    Flush();
}

void TLineSocketRW::ConnectEvent(TObject*, TCustomWinSocket*)
{
    // The buffers were emptied for the new connection; so is the search state.
    ScanOffset = 0;
    SkipLF = false;
}

void TLineSocketRW::DisconnectEvent(TObject* sender, TCustomWinSocket* socket)
{
    if (RecvBuffer.Count() == 0)
        return;
    ReadEvent(sender, socket);
    if (RecvBuffer.Count() == 0)
        return;
    const char nul = '\0';
    RecvBuffer.Write(&nul, 1);
    ReadEvent(sender, socket);
}

void TLineSocketRW::TakeLine(int count, int terminatorLength)
{
    const AnsiString line(RecvBuffer.Head, static_cast<std::size_t>(count));
    RecvBuffer.AdvanceHead(count + terminatorLength);
    if (OnLineArrived)
        OnLineArrived(this, Socket, line);
}

void TLineSocketRW::ReadEvent(TObject*, TCustomWinSocket*)
{
    if (SkipLF && RecvBuffer.Count() > 0 && RecvBuffer.Head[0] == '\n')
        RecvBuffer.AdvanceHead(1);
    SkipLF = false;
    int offset = std::min(ScanOffset, RecvBuffer.Count());
    ScanOffset = 0;
    const auto alive = AliveToken();
    while (offset < RecvBuffer.Count()) {
        const char c = RecvBuffer.Head[offset];
        if (c == '\r') {
            // A CR is one terminator with the LF right after it; when the CR
            // is the last byte so far, an LF that arrives next is skipped.
            const bool lastByte = offset + 1 == RecvBuffer.Count();
            const bool withLF = !lastByte && RecvBuffer.Head[offset + 1] == '\n';
            SkipLF = lastByte;
            TakeLine(offset, withLF ? 2 : 1);
        } else if (c == '\n' || c == '\0') {
            TakeLine(offset, 1);
        } else {
            ++offset;
            continue;
        }
        if (!*alive)
            return;
        offset = 0;
    }
    ScanOffset = RecvBuffer.Count();
}
