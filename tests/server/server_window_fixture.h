#pragma once

// The operator window on a real socket at 127.0.0.1 with an ephemeral port,
// message boxes and error reports recorded instead of shown.

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <memory>
#include <string>
#include <vector>

#include "game_server_fixture.h"
#include "server/server_window.h"

namespace server_test {

class ServerWindowFixture : public ::testing::Test {
protected:
    explicit ServerWindowFixture(const TServerOptions& options = {}) : form(options) {}

    void SetUp() override
    {
        Application.OnMessageBox = [this](const QString& text, const QString&, int) {
            messageBoxes.push_back(text.toStdString());
            return IDOK;
        };
        form.PacketServerSocket1.SetAddress("127.0.0.1");
        form.PacketServerSocket1.SetActive(true);
        port = form.PacketServerSocket1.Socket()->LocalPort();
    }

    void TearDown() override { Application.OnMessageBox = nullptr; }

    // A peer that joined with the padded name, its packets read up to the
    // roster that answered the join.
    std::unique_ptr<LoopbackPeer> JoinedPeer(std::string_view paddedName)
    {
        auto peer = std::make_unique<LoopbackPeer>(port);
        EXPECT_TRUE(peer->SendPacket(Nul("/join " + std::string(paddedName))));
        for (auto packet = peer->NextPacket(); packet; packet = peer->NextPacket())
            if (packet->starts_with("/list "))
                break;
        return peer;
    }

    QStringList LogLines() const { return form.mmLog->toPlainText().split(u'\n', Qt::SkipEmptyParts); }

    TForm1 form;
    // Message boxes and error reports alike.
    std::vector<std::string> messageBoxes;
    int port = 0;
};

}  // namespace server_test
