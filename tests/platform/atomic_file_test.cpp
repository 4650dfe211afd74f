#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>

#include "platform/atomic_file.h"

namespace {

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList FilesIn(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
}

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("bans.json"));
        ASSERT_EQ(WriteFileAtomically(path, oldBytes), QString());
    }
    QTemporaryDir dir;
    QString path;
    const QByteArray oldBytes = QByteArray("{\"old\": true}\n").repeated(1000);
};

TEST_F(AtomicFileTest, ReplacesTheFileWholeAndKeepsItsPermissions)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0640), 0);
    EXPECT_EQ(WriteFileAtomically(path, "new"), QString());
    EXPECT_EQ(Contents(path), "new");
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(FilesIn(dir), QStringList{QStringLiteral("bans.json")});
}

TEST_F(AtomicFileTest, AFailedFlushOrRenameLeavesTheOldFileAndNoTemporary)
{
    TAtomicFileCalls failingFsync = SystemFileCalls();
    failingFsync.Fsync = [](int) { errno = EIO; return -1; };
    TAtomicFileCalls failingRename = SystemFileCalls();
    failingRename.Rename = [](const char*, const char*) { errno = ENOSPC; return -1; };
    for (const auto& [calls, step] : {std::pair{failingFsync, "flush"}, std::pair{failingRename, "rename"}}) {
        const QString error = WriteFileAtomically(path, "new", calls);
        EXPECT_TRUE(error.startsWith(path) && error.contains(QLatin1String(step))) << error.toStdString();
        EXPECT_EQ(Contents(path), oldBytes);
        EXPECT_EQ(FilesIn(dir), QStringList{QStringLiteral("bans.json")});
    }
    EXPECT_FALSE(WriteFileAtomically(dir.filePath(QStringLiteral("missing/x.json")), "new").isEmpty());
}

// A process killed after the new bytes are on disk but before the rename
// leaves the old file whole; the next write still succeeds.
TEST_F(AtomicFileTest, ACrashBeforeTheRenameLeavesTheOldFileWhole)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TAtomicFileCalls crashing = SystemFileCalls();
        crashing.Rename = [](const char*, const char*) { ::raise(SIGKILL); return -1; };
        WriteFileAtomically(path, QByteArray("torn").repeated(5000), crashing);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(Contents(path), oldBytes);
    EXPECT_EQ(WriteFileAtomically(path, "after"), QString());
    EXPECT_EQ(Contents(path), "after");
}

}  // namespace
