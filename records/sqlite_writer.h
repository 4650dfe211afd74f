#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/ansi_string.h"
#include "records/sqlite_connection.h"

namespace Records {

// The one thread that writes the database, fed through a bounded queue so
// that whoever queues never waits for the disk. A write that fails (a full
// disk, a locked file) is rolled back, logged and tried again, first after
// FirstRetry and then after twice as long each time, up to LastRetry; the
// writes behind it wait, so their order is kept. A write that can never
// succeed (it breaks a constraint: a fault of the program) is logged and lost.
class TSqliteWriter {
public:
    using TLog = std::function<void(const AnsiString& message)>;

    struct TJob {
        AnsiString What;  // for the log: "game 12", "the name taro"
        std::function<void(TSqliteConnection&)> Write;
        // Called after the write with an empty text, or with the error when
        // the job is not retried.
        std::function<void(const std::string& error)> Done;
        // A write runs in a transaction and is retried until it succeeds;
        // otherwise (a backup) it runs once as it is.
        bool IsWrite = true;
    };

    struct TOptions {
        std::size_t Capacity = 4096;
        std::chrono::milliseconds FirstRetry{500};
        std::chrono::milliseconds LastRetry{30000};
    };

    TSqliteWriter(std::unique_ptr<TSqliteConnection> db, TOptions options, TLog log);
    // Writes what is still queued, giving each failing write one more try
    // only, and logs how many were lost.
    ~TSqliteWriter();

    // False when the queue is full: the job is not queued.
    bool TryPush(TJob job);

    std::size_t Length() const;
    std::uint64_t Written() const;
    std::uint64_t Failures() const;
    std::uint64_t Lost() const;

private:
    void Run();
    struct TFailure {
        std::string Error;
        bool Transient = true;  // a full disk or a locked file may pass; a broken statement does not
    };
    // Nothing when the job is done with (written, or not to be retried).
    std::optional<TFailure> Attempt(TJob& job);

    std::unique_ptr<TSqliteConnection> db_;
    const TOptions options_;
    const TLog log_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<TJob> queue_;  // the front is being written
    bool stopping_ = false;
    std::uint64_t written_ = 0;
    std::uint64_t failures_ = 0;
    std::uint64_t lost_ = 0;
    std::thread thread_;
};

}  // namespace Records
