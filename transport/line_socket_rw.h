#pragma once

#include <functional>

#include "platform/ansi_string.h"
#include "transport/custom_socket_rw.h"

using TLineArrivedEvent = std::function<void(TObject* aSender, TCustomWinSocket* aSocket, const AnsiString aLine)>;

// Frames messages as text lines. Sent lines end in CR LF; received lines end
// in CR LF, CR, LF or NUL (a CR followed by LF is one terminator, also when the
// LF arrives later). Bytes are searched once however many reads they take to
// arrive. At disconnect, an unterminated last line is delivered after every
// complete one. A line is consumed before it is delivered: a handler that
// throws does not get it again.
class TLineSocketRW : public TCustomSocketRW {
public:
    explicit TLineSocketRW(TCustomWinSocket* socket);

    // Queues the line's bytes and CR LF.
    void Send(const AnsiString& line);
    using TCustomSocketRW::SendStream;
    // Queues what a read of count bytes delivers (count 0: the stream's size),
    // then CR LF: an empty stream sends an empty line.
    void SendStream(TStream* stream, int count) override;

    void ConnectEvent(TObject* sender, TCustomWinSocket* socket) override;
    void DisconnectEvent(TObject* sender, TCustomWinSocket* socket) override;
    void ReadEvent(TObject* sender, TCustomWinSocket* socket) override;

    int ScanOffset = 0;
    bool SkipLF = false;
    TLineArrivedEvent OnLineArrived;

private:
    // Consumes count bytes and then the terminator, and delivers the line.
    void TakeLine(int count, int terminatorLength);
};
