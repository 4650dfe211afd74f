#include "records/sqlite_writer.h"

#include <sqlite3.h>

#include <algorithm>

namespace Records {

TSqliteWriter::TSqliteWriter(std::unique_ptr<TSqliteConnection> db, TOptions options, TLog log)
    : db_(std::move(db)), options_(options), log_(std::move(log)), thread_([this] { Run(); })
{
}

TSqliteWriter::~TSqliteWriter()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

bool TSqliteWriter::TryPush(TJob job)
{
    {
        std::lock_guard lock(mutex_);
        if (queue_.size() >= options_.Capacity || stopping_)
            return false;
        queue_.push_back(std::move(job));
    }
    wake_.notify_all();
    return true;
}

std::size_t TSqliteWriter::Length() const
{
    std::lock_guard lock(mutex_);
    return queue_.size();
}

std::uint64_t TSqliteWriter::Written() const
{
    std::lock_guard lock(mutex_);
    return written_;
}

std::uint64_t TSqliteWriter::Failures() const
{
    std::lock_guard lock(mutex_);
    return failures_;
}

std::uint64_t TSqliteWriter::Lost() const
{
    std::lock_guard lock(mutex_);
    return lost_;
}

namespace {

bool IsTransient(int code)
{
    switch (code & 0xff) {
    case SQLITE_CONSTRAINT:
    case SQLITE_MISMATCH:
    case SQLITE_TOOBIG:
    case SQLITE_RANGE:
    case SQLITE_ERROR:
    case SQLITE_MISUSE:
        return false;
    default:
        return true;
    }
}

}  // namespace

std::optional<TSqliteWriter::TFailure> TSqliteWriter::Attempt(TJob& job)
{
    try {
        if (job.IsWrite)
            db_->Execute("BEGIN IMMEDIATE");
        job.Write(*db_);
        if (job.IsWrite)
            db_->Execute("COMMIT");
    } catch (const ESqliteError& error) {
        db_->RollBack();
        if (job.IsWrite) {
            std::lock_guard lock(mutex_);
            ++failures_;
            return TFailure{error.what(), IsTransient(error.Code)};
        }
        if (job.Done)
            job.Done(error.what());
        return std::nullopt;
    }
    if (job.IsWrite) {
        std::lock_guard lock(mutex_);
        ++written_;
    }
    if (job.Done)
        job.Done({});
    return std::nullopt;
}

void TSqliteWriter::Run()
{
    std::unique_lock lock(mutex_);
    std::size_t lostAtStop = 0;
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty())
            break;
        TJob& job = queue_.front();
        std::chrono::milliseconds delay = options_.FirstRetry;
        for (int attempt = 1;; ++attempt) {
            const bool lastChance = stopping_;
            lock.unlock();
            const std::optional<TFailure> failure = Attempt(job);
            const bool giveUp = failure && (lastChance || !failure->Transient);
            if (!failure && attempt > 1)
                log_("records: " + job.What + " written after " + std::to_string(attempt) + " attempts");
            else if (giveUp && !failure->Transient)
                log_("records: cannot write " + job.What + " (" + failure->Error + "); it is lost");
            else if (failure && !giveUp)
                log_("records: cannot write " + job.What + " (" + failure->Error + "); trying again in " +
                     std::to_string(delay.count()) + " ms");
            lock.lock();
            if (!failure)
                break;
            if (giveUp) {
                ++lost_;
                lostAtStop += failure->Transient ? 1 : 0;
                break;
            }
            wake_.wait_for(lock, delay, [this] { return stopping_; });
            delay = std::min(delay * 2, options_.LastRetry);
        }
        queue_.pop_front();
    }
    lock.unlock();
    if (lostAtStop > 0)
        log_("records: stopping, " + std::to_string(lostAtStop) + " records could not be written and are lost");
}

}  // namespace Records
