// A headless server's lines: plain on a terminal or a pipe, with their
// priority when standard output is the journal, never split by what a
// player typed.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryFile>
#include <cstdio>
#include <string>

#include "server/log_output.h"

namespace {

std::string StreamName(int handle)
{
    struct stat status {};
    EXPECT_EQ(fstat(handle, &status), 0);
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
}

TEST(LogOutput, TheJournalIsRecognisedByItsDeviceAndInodeOnly)
{
    QTemporaryFile journal, other;
    ASSERT_TRUE(journal.open());
    ASSERT_TRUE(other.open());
    const std::string name = StreamName(journal.handle());
    EXPECT_TRUE(IsJournalStream(journal.handle(), name.c_str()));
    EXPECT_FALSE(IsJournalStream(other.handle(), name.c_str()));
    EXPECT_FALSE(IsJournalStream(journal.handle(), nullptr));
    EXPECT_FALSE(IsJournalStream(journal.handle(), ""));
    EXPECT_FALSE(IsJournalStream(journal.handle(), "garbage"));
    EXPECT_FALSE(IsJournalStream(-1, name.c_str()));
}

TEST(LogOutput, JournalLinesCarryTheirPriorityAndNoTextStartsALineOfItsOwn)
{
    const QString line = QStringLiteral("2026/12/07 10:00:00  /参加  AB      [::1]");
    EXPECT_EQ(LogLineText(line, TLogPriority::Info, false), line.toStdString() + "\n");
    EXPECT_EQ(LogLineText(line, TLogPriority::Info, true), "<6>" + line.toStdString() + "\n");
    EXPECT_EQ(LogLineText(QStringLiteral("x"), TLogPriority::Warning, true), "<4>x\n");
    EXPECT_EQ(LogLineText(QStringLiteral("x"), TLogPriority::Error, true), "<3>x\n");
    // A name with a line break would otherwise forge a line of any priority.
    EXPECT_EQ(LogLineText(QStringLiteral("/参加  a\n<0>b\r\x7f"), TLogPriority::Info, true),
              "<6>" + QStringLiteral("/参加  a <0>b  ").toStdString() + "\n");
}

TEST(LogOutput, WritingToTheJournalStreamPrefixesEachLine)
{
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    std::FILE* stream = fdopen(dup(file.handle()), "w");
    ASSERT_NE(stream, nullptr);
    const std::string name = StreamName(fileno(stream));
    ASSERT_EQ(setenv("JOURNAL_STREAM", name.c_str(), 1), 0);
    WriteLogLine(stream, QStringLiteral("first"), TLogPriority::Info);
    ASSERT_EQ(setenv("JOURNAL_STREAM", "1:2", 1), 0);
    WriteLogLine(stream, QStringLiteral("second"), TLogPriority::Info);
    unsetenv("JOURNAL_STREAM");
    std::fclose(stream);
    ASSERT_TRUE(file.seek(0));
    EXPECT_EQ(file.readAll().toStdString(), "<6>first\nsecond\n");
}

}  // namespace
