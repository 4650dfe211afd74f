#pragma once

#include <string>
#include <vector>

#include "transport/packet_connection.h"

// A connection with nothing under it: what the server sends is kept in
// order for the test to take, and a close the server asks for is only
// marked, so that the test reports it at its next step as a carrier would
// after the call. No socket, no event loop; thousands open and close a second.
class TMemoryConnection : public TPacketConnection {
public:
    void SendPacket(const void* data, int size) override;
    void CloseAfterSending() override { closing_ = true; }
    const AnsiString& PeerAddress() const override { return address_; }
    TKind Kind() const override { return TKind::Memory; }

    // The server asked to close the connection.
    bool Closing() const { return closing_; }
    // How many packets came after the close was asked for.
    int SentAfterClosing() const { return sentAfterClosing_; }
    // The payloads sent since the last call, oldest first.
    std::vector<std::string> TakeSent();

private:
    AnsiString address_ = "memory";
    std::vector<std::string> sent_;
    bool closing_ = false;
    int sentAfterClosing_ = 0;
};
