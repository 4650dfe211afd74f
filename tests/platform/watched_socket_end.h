#pragma once

// A socket pair for tests of the socket layer: one end a watched socket of
// this thread, the other a plain handle.

#include <sys/socket.h>
#include <unistd.h>

#include <functional>

#include <gtest/gtest.h>

#include "platform/custom_win_socket.h"

// One end of a socket pair, watched for reading, counting its read events and
// the bytes it took; its peer is a plain handle.
class WatchedEnd : public TCustomWinSocket {
public:
    explicit WatchedEnd(std::function<void(WatchedEnd&)> onRead = {}) : TCustomWinSocket(-1, true)
    {
        int ends[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        SetHandle(ends[0]);
        peer = ends[1];
        SetConnected(true);
        WatchRead();
        OnSocketEvent = [this, onRead = std::move(onRead)](TObject*, TCustomWinSocket*, TSocketEvent event) {
            if (event != seRead)
                return;
            ++reads;
            char buffer[64];
            for (int n; (n = ReceiveBuf(buffer, sizeof buffer)) > 0;)
                bytes += n;
            if (onRead)
                onRead(*this);
        };
    }
    ~WatchedEnd() override { ::close(peer); }
    void Poke() { ASSERT_EQ(::write(peer, "x", 1), 1); }

    int peer = -1;
    int reads = 0;
    int bytes = 0;
};
