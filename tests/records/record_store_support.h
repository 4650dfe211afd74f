#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "records/sqlite_record_store.h"

// A store in a directory of its own, with its log kept for the test to read.
class TStoreFixture {
public:
    TStoreFixture();
    QString FilePath() const;
    // Opens the store; fails the test when it does not open.
    void Open(const Records::TSqliteStoreOptions& options = {});
    // Waits (bounded) until this many records have been written.
    bool WaitWritten(std::uint64_t written) const;
    bool LogContains(const std::string& text) const;

    QTemporaryDir Directory;
    std::unique_ptr<Records::TRecordStore> Store;
    Records::TRecordStore::TLog Log;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};
