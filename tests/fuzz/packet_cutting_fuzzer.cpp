// Packet cutting: an arbitrary byte stream, split into reads at arbitrary
// points, through a real server connection's packet reader-writer. What it
// delivers must be exactly what a plain model of the framing cuts from the
// same stream, and it must close the connection exactly when the model says
// (a receive limit passed, an impossible length).
//
// Input: byte 0 picks the receive limit (0: none, else b*b/4 + 1 bytes);
// then chunks, each a length byte n and the n bytes after it. Every chunk is
// written to the connection and taken by it before the next is written.
#include <unistd.h>

#include <climits>
#include <vector>

#include "fuzz_support.h"

namespace {

std::int32_t LittleEndian(const std::string& bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)])) << (8 * i);
    return static_cast<std::int32_t>(v);
}

// The framing as the wire format states it, applied read by read.
struct Model {
    std::size_t limit = 0;
    std::string buffered;
    std::vector<std::string> packets;
    bool closed = false;

    void Receive(std::string_view chunk)
    {
        if (limit > 0 && buffered.size() + chunk.size() > limit) {
            closed = true;
            return;
        }
        buffered += chunk;
        while (buffered.size() > 4) {
            const std::int32_t length = LittleEndian(buffered);
            if (length < 0 || length > INT_MAX - 4) {
                closed = true;
                return;
            }
            if (std::size_t(length) + 4 > buffered.size())
                return;
            packets.push_back(buffered.substr(4, std::size_t(length)));
            buffered.erase(0, std::size_t(length) + 4);
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::InputReader input(data, size);
    Model model;
    const int b = input.Byte();
    model.limit = b == 0 ? 0 : std::size_t(b * b / 4 + 1);

    std::vector<std::string> delivered;
    const int reportsBefore = fuzz::ErrorReports();
    {
        TPacketServerSocket server;
        server.SetMaxRecvSize(static_cast<int>(model.limit));
        server.OnPacketArrived = [&](TObject*, TCustomWinSocket* socket, const void* payload, int length) {
            // The payload lies in the receive buffer, right behind its header.
            const TPipedMemoryStream& buffer =
                static_cast<TCustomPacketServerClientWinSocket*>(socket)->SocketRW->RecvBuffer;
            const char* p = static_cast<const char*>(payload);
            if (p != buffer.Head + 4 || length < 0 || p + length > buffer.Tail)
                fuzz::Fail("a packet delivered outside the receive buffer");
            delivered.emplace_back(p, std::size_t(length));
        };
        const fuzz::Pair pair = fuzz::Connect(server);
        while (!input.AtEnd() && !model.closed) {
            const std::string_view chunk = input.Bytes(input.Byte());
            if (chunk.empty())
                continue;
            model.Receive(chunk);
            fuzz::WriteAll(pair.peer, chunk);
            fuzz::Settle(server, pair.connection);
            if (delivered.size() != model.packets.size())
                fuzz::Fail("delivered " + std::to_string(delivered.size()) + " packets, expected " +
                           std::to_string(model.packets.size()));
            if (fuzz::Open(server, pair.connection) == model.closed)
                fuzz::Fail(model.closed ? "the connection stayed open" : "the connection closed");
        }
        fuzz::RunPosted();
        ::close(pair.peer);
    }
    fuzz::RunPosted();
    if (delivered != model.packets)
        fuzz::Fail("delivered packets differ from the encoded payloads");
    if (fuzz::ErrorReports() - reportsBefore != (model.closed ? 1 : 0))
        fuzz::Fail("a closed connection gives exactly one error report");
    return 0;
}
