// Test entry point shared by every test program: a QApplication exists for the
// whole run (sockets, timers and widgets need one), on the offscreen platform
// unless the caller chose another. Every test gets a state directory of its
// own, so that a server program a test stops (which saves its tables there)
// never hands them to the next test or to the machine's real server.
// With KIVOL_EVENT_DISPATCHER=epoll the main thread's loop sleeps in the
// sockets' epoll handle, as a headless kivolsrv's does.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "platform/epoll_event_dispatcher.h"

namespace {

class StateDirectoryPerTest : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override
    {
        directory_ = std::make_unique<QTemporaryDir>();
        setenv("STATE_DIRECTORY", directory_->path().toLocal8Bit().constData(), 1);
    }
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        unsetenv("STATE_DIRECTORY");
        directory_.reset();
    }

    std::unique_ptr<QTemporaryDir> directory_;
};

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (const char* dispatcher = std::getenv("KIVOL_EVENT_DISPATCHER"); dispatcher && std::string_view(dispatcher) == "epoll")
        QCoreApplication::setEventDispatcher(new TEpollEventDispatcher);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new StateDirectoryPerTest);
    return RUN_ALL_TESTS();
}
