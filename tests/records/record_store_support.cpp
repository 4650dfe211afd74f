#include "record_store_support.h"

#include <QTest>
#include <gtest/gtest.h>

TStoreFixture::TStoreFixture()
    : Log([this](const AnsiString& line) {
          std::lock_guard lock(mutex_);
          lines_.push_back(line);
      })
{
}

QString TStoreFixture::FilePath() const
{
    return Directory.filePath(QStringLiteral("kivol.db"));
}

void TStoreFixture::Open(const Records::TSqliteStoreOptions& options)
{
    QString error;
    Store = Records::OpenSqliteRecordStore(Directory.path(), Log, error, options);
    ASSERT_TRUE(Store) << error.toStdString();
}

bool TStoreFixture::WaitWritten(std::uint64_t written) const
{
    return QTest::qWaitFor([&] { return Store->Counts().Written >= written; }, 20000);
}

bool TStoreFixture::LogContains(const std::string& text) const
{
    std::lock_guard lock(mutex_);
    for (const std::string& line : lines_)
        if (line.find(text) != std::string::npos)
            return true;
    return false;
}
