#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// The system calls of an atomic write that tests replace to fail or crash
// at a chosen point. Each returns 0 on success, else -1 with errno set.
struct TAtomicFileCalls {
    std::function<int(int handle)> Fsync;
    std::function<int(const char* from, const char* to)> Rename;
};

// The real calls: fsync(2) and rename(2).
TAtomicFileCalls SystemFileCalls();

// Replaces the file at path with bytes so that a crash at any moment leaves
// either the old file or the new one whole: the bytes go to a temporary
// file in the same directory, are flushed to disk, and the temporary file is
// renamed over the old one; then the directory is flushed so that the rename
// itself survives. The new file keeps the old one's permissions (0600 when
// there was none). Returns an empty text on success, else what went wrong,
// naming the file; the old file is then untouched and the temporary removed.
QString WriteFileAtomically(const QString& path, const QByteArray& bytes,
                            const TAtomicFileCalls& calls = SystemFileCalls());
