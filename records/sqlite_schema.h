#pragma once

#include "records/sqlite_connection.h"

namespace Records {

// The schema this program writes, kept in PRAGMA user_version.
int SqliteSchemaVersion();

// Brings a database of an older schema (0: a new, empty file) to this
// program's in one transaction: all of it or nothing. Throws ESqliteError.
void MigrateSqliteSchema(TSqliteConnection& db, int fromVersion);

}  // namespace Records
