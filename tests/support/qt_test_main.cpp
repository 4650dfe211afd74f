// Test entry point shared by every test program: a QApplication exists for the
// whole run (sockets, timers and widgets need one), on the offscreen platform
// unless the caller chose another. Every test gets a state directory of its
// own, so that a server program a test stops (which saves its tables there)
// never hands them to the next test or to the machine's real server.
#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cstdlib>
#include <memory>

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
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new StateDirectoryPerTest);
    return RUN_ALL_TESTS();
}
