#pragma once

#include <QString>

// The claim of one running server on its state directory: an exclusive
// flock on "kivol.lock" there, held until the process ends (a kill -9
// included, the kernel releases it). A second server on the same directory
// would hand out the same game ids and overwrite the other's tables; it is
// refused at start instead. A restart is unaffected: the old process has
// ended before the new one takes the lock.
class TStateLock {
public:
    TStateLock() = default;
    TStateLock(const TStateLock&) = delete;
    TStateLock& operator=(const TStateLock&) = delete;
    ~TStateLock();

    // Takes the lock on directory; an empty text on success, else what stops the start.
    QString Take(const QString& directory);

private:
    int handle_ = -1;
};
