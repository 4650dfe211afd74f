// Line cutting: an arbitrary byte stream, split into reads at arbitrary
// points, through a real server connection's line reader-writer. The lines it
// delivers must be exactly those a plain model of the terminators cuts from
// the same stream (CR LF, CR, LF, NUL; a CR LF split over two reads is one
// terminator), none may hold a terminator, and an unterminated last line is
// delivered when the connection ends.
//
// Input: byte 0 picks the receive limit (0: none, else b*b/4 + 1 bytes);
// byte 1, when odd, makes the peer close its end after the last chunk; then
// chunks, each a length byte n and the n bytes after it, every one taken by
// the connection before the next is written.
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "fuzz_support.h"

namespace {

struct Model {
    std::size_t limit = 0;
    std::string buffered;
    bool skipLF = false;
    std::vector<std::string> lines;
    bool closed = false;

    void Receive(std::string_view chunk)
    {
        if (limit > 0 && buffered.size() + chunk.size() > limit) {
            Disconnect();
            return;
        }
        buffered += chunk;
        if (skipLF && buffered[0] == '\n')
            buffered.erase(0, 1);
        skipLF = false;
        for (std::size_t i = 0; i < buffered.size();) {
            const char c = buffered[i];
            if (c != '\r' && c != '\n' && c != '\0') {
                ++i;
                continue;
            }
            std::size_t terminator = 1;
            if (c == '\r') {
                if (i + 1 == buffered.size())
                    skipLF = true;
                else if (buffered[i + 1] == '\n')
                    terminator = 2;
            }
            lines.push_back(buffered.substr(0, i));
            buffered.erase(0, i + terminator);
            i = 0;
        }
    }

    // The end of the connection delivers what is left as one last line.
    void Disconnect()
    {
        closed = true;
        if (!buffered.empty())
            lines.push_back(buffered);
        buffered.clear();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::InputReader input(data, size);
    Model model;
    const int b = input.Byte();
    model.limit = b == 0 ? 0 : std::size_t(b * b / 4 + 1);
    const bool peerCloses = input.Byte() & 1;

    std::vector<std::string> delivered;
    {
        TLineServerSocket server;
        server.SetMaxRecvSize(static_cast<int>(model.limit));
        server.OnLineArrived = [&](TObject*, TCustomWinSocket*, const AnsiString line) {
            if (line.find_first_of(std::string_view("\r\n\0", 3)) != AnsiString::npos)
                fuzz::Fail("a line holds a terminator");
            delivered.push_back(line);
        };
        const fuzz::Pair pair = fuzz::Connect(server);
        // The connection's own handler made to own state (a closure too large
        // to be stored inline): a line delivered through a half-destroyed
        // connection then reads freed memory, which AddressSanitizer reports.
        auto* connection = static_cast<TLineServerClientWinSocket*>(pair.connection);
        connection->OnLineArrived = [forward = connection->OnLineArrived](TObject* sender, TCustomWinSocket* socket,
                                                                          const AnsiString line) {
            forward(sender, socket, line);
        };
        while (!input.AtEnd() && !model.closed) {
            const std::string_view chunk = input.Bytes(input.Byte());
            if (chunk.empty())
                continue;
            model.Receive(chunk);
            fuzz::WriteAll(pair.peer, chunk);
            fuzz::Settle(server, pair.connection);
            if (delivered != model.lines)
                fuzz::Fail("delivered " + std::to_string(delivered.size()) + " lines, expected " +
                           std::to_string(model.lines.size()));
            if (fuzz::Open(server, pair.connection) == model.closed)
                fuzz::Fail(model.closed ? "the connection stayed open" : "the connection closed");
        }
        if (peerCloses && !model.closed) {
            ::shutdown(pair.peer, SHUT_WR);
            model.Disconnect();
            fuzz::AwaitClose(server, pair.connection);
        }
        fuzz::RunPosted();
        ::close(pair.peer);
    }
    fuzz::RunPosted();
    if (delivered != model.lines)
        fuzz::Fail("delivered lines differ from the stream's lines");
    return 0;
}
