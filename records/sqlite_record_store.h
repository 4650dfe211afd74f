#pragma once

#include <QString>
#include <chrono>
#include <memory>

#include "records/record_store.h"
#include "records/sqlite_writer.h"

namespace Records {

struct TSqliteStoreOptions {
    TSqliteWriter::TOptions Writer;
    // How long a statement waits for a lock held by another connection
    // before it fails (and, for a write, is retried).
    std::chrono::milliseconds BusyTimeout{5000};
};

// The file the store keeps in its directory.
inline constexpr const char* SqliteRecordFileName = "kivol.db";

// Opens kivol.db in the directory (making it when there is none), in WAL
// mode with synchronous=NORMAL and foreign keys on, bringing its schema up
// to this program's. On failure returns nothing and sets error to a message
// that names the file and the reason: it cannot be opened or is no
// database, it is newer than this program, or its migration failed.
std::unique_ptr<TRecordStore> OpenSqliteRecordStore(const QString& directory, TRecordStore::TLog log,
                                                    QString& error, const TSqliteStoreOptions& options = {});

}  // namespace Records
