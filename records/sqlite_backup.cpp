#include "records/sqlite_backup.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace Records {

void BackUpDatabase(TSqliteConnection& db, const std::string& path)
{
    const std::string partial = path + ".partial";
    try {
        {
            TSqliteConnection copy(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
            sqlite3_backup* backup = sqlite3_backup_init(copy.Handle(), "main", db.Handle(), "main");
            if (!backup)
                copy.Check(sqlite3_errcode(copy.Handle()));
            sqlite3_backup_step(backup, -1);
            copy.Check(sqlite3_backup_finish(backup));
            // The copy leaves WAL mode so that it is one self-contained file.
            copy.Execute("PRAGMA journal_mode = DELETE");
        }
        if (std::rename(partial.c_str(), path.c_str()) != 0)
            throw ESqliteError(SQLITE_CANTOPEN, "cannot rename " + partial + " to " + path + ": " + std::strerror(errno));
    } catch (...) {
        std::remove(partial.c_str());
        throw;
    }
}

}  // namespace Records
