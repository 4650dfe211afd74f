#pragma once

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/ansi_string.h"
#include "server/host_name_lookup.h"

// The connect and disconnect lines of the server's log,
// "/接続  <host>[<address>]" and "/切断  <host>[<address>]". The host name is
// looked up once per connection, off the event thread; a line is written when
// that lookup has answered, a connection's lines in the order they happened,
// and with the address alone (no host) when the lookup found no name, failed
// or took longer than its limit. Other connections' traffic never waits for it.
class TConnectionLog {
public:
    using LogFunction = std::function<void(const AnsiString& message)>;

    explicit TConnectionLog(LogFunction addLog,
                            std::unique_ptr<THostNameLookup> lookup = std::make_unique<THostNameLookup>());

    // Replaces the name lookup; lines still waiting for the old one are dropped.
    void UseLookup(std::unique_ptr<THostNameLookup> lookup);

    // connection identifies the connection until its disconnect.
    void Connected(const void* connection, const AnsiString& address);
    void Disconnected(const void* connection, const AnsiString& address);

private:
    struct Entry {
        AnsiString address;
        bool answered = false;
        AnsiString name;
        // The words of the lines that wait for the answer, oldest first.
        std::vector<const char*> waiting;
    };
    std::shared_ptr<Entry> Open(const AnsiString& address);
    void Write(const char* utf8Word, const Entry& entry);

    LogFunction addLog_;
    std::unique_ptr<THostNameLookup> lookup_;
    std::unordered_map<const void*, std::shared_ptr<Entry>> open_;
};
