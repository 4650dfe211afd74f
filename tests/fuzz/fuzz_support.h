#pragma once

// What the fuzz targets share: the application object the socket layer
// needs, a reader over the fuzzer's input, server connections over AF_UNIX
// socket pairs, a ledger of session tokens and the check of a game table's cards.
//
// A connection is made the way the listening socket makes one (the server's
// hook for new handles, then the object's start), but over one end of a socket
// pair, so that a target needs no listening port and each input starts from
// scratch in microseconds. The connection reads its end through the real
// receive path: the Qt read notifier, the socket's read-ready handling, the
// reader-writer's read loop and its cutting.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "transport/packet_server_socket.h"

class TGameTable;

namespace fuzz {

// Creates the application object once (a widget application on the
// offscreen platform), and counts error reports instead of showing them (a
// target decides which reports are expected). Every target gets it through
// LLVMFuzzerInitialize, defined with this.
void InitApplication();
int ErrorReports();

// Ends the run as a crash that the fuzzer records, with the reason on stderr.
[[noreturn]] void Fail(const std::string& what);

// Reads an input front to back. Past the end it yields 0 and empty runs.
class InputReader {
public:
    InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool AtEnd() const { return pos_ >= size_; }
    std::uint8_t Byte() { return AtEnd() ? 0 : data_[pos_++]; }
    // The next count bytes, fewer at the end.
    std::string_view Bytes(std::size_t count);

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A connection of server over a socket pair: the server's end becomes a
// connection object (connect event included); the peer end is returned,
// non-blocking, for the target to write and read.
struct Pair {
    TCustomWinSocket* connection;
    int peer;
};
Pair Connect(TCustomPacketServerSocket& server);

// True while connection is still one of server's connections with an open handle.
bool Open(const TCustomPacketServerSocket& server, const TCustomWinSocket* connection);

// Writes every byte at the peer end; false once the server's end is gone.
bool WriteAll(int peer, std::string_view bytes);

// Runs the event loop until the connection has taken every byte written to
// it, or has closed. A connection that stops taking bytes is a failure.
void Settle(const TCustomPacketServerSocket& server, const TCustomWinSocket* connection);

// Runs the event loop until the connection has closed (the peer ended the
// stream); one that stays open is a failure.
void AwaitClose(const TCustomPacketServerSocket& server, const TCustomWinSocket* connection);

// Runs what is posted to the event loop (deferred sends, destruction of
// closed connections).
void RunPosted();

// Who received which session token (slots numbered by the target).
class TokenLedger {
public:
    void Issue(const std::string& token, int slot) { owners_.emplace(token, slot); }
    // True when payload carries a token that was not issued to slot (any
    // token, for slot -1). Only a run of 32 or more hex digits can hold one.
    bool Leaks(std::string_view payload, int slot) const;

private:
    std::unordered_multimap<std::string, int> owners_;
};

// Fails unless the table's 54 cards lie on its eight piles once each (no
// pile over its capacity, the "no card" value never stored) and its field
// holds at most fieldSlots cards, as many as a client shows.
void CheckPiles(const TGameTable& table, int fieldSlots);

// Reads and drops whatever has arrived at the peer end; returns it.
std::string Drain(int peer);

}  // namespace fuzz
