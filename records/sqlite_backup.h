#pragma once

#include <string>

#include "records/sqlite_connection.h"

namespace Records {

// Copies the database of the connection to the file at path with SQLite's
// online backup: into a temporary file beside it, flushed, then renamed over
// path, so that path holds an old copy or the whole new one. Throws ESqliteError.
void BackUpDatabase(TSqliteConnection& db, const std::string& path);

}  // namespace Records
