#include "client/reconnector.h"

#include <algorithm>

#include "platform/application.h"

namespace {

// The wait before attempt n (from 1): 1, 2, 4, 8, 16, then 30 s.
int WaitBefore(int attempt)
{
    constexpr int Doublings = 5;
    constexpr int LongestWait = 30;
    return attempt <= Doublings ? 1 << (attempt - 1) : LongestWait;
}

}  // namespace

TReconnector::TReconnector()
{
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { DispatchSafely([this] { Due(); }); });
    clock_.start();
}

qint64 TReconnector::Now() const
{
    return manual_ ? manualNow_ : clock_.elapsed();
}

void TReconnector::Start(int graceSeconds)
{
    active_ = true;
    gaveUp_ = false;
    attempt_ = 0;
    graceEndsMs_ = graceSeconds > 0 ? Now() + qint64(graceSeconds) * 1000 : 0;
    Schedule();
}

void TReconnector::AttemptFailed()
{
    if (active_ && !waiting_)
        Schedule();
}

void TReconnector::Stop()
{
    active_ = false;
    waiting_ = false;
    gaveUp_ = false;
    timer_.stop();
}

void TReconnector::Schedule()
{
    ++attempt_;
    waitSeconds_ = WaitBefore(attempt_);
    dueMs_ = Now() + qint64(waitSeconds_) * 1000;
    if (graceEndsMs_ != 0 && dueMs_ > graceEndsMs_) {
        Stop();
        gaveUp_ = true;
        return;
    }
    waiting_ = true;
    if (!manual_)
        timer_.start(waitSeconds_ * 1000);
}

void TReconnector::Due()
{
    if (!waiting_)
        return;
    waiting_ = false;
    if (OnAttempt)
        OnAttempt();
}

void TReconnector::UseManualClock()
{
    manual_ = true;
    manualNow_ = clock_.elapsed();
    timer_.stop();
}

void TReconnector::Advance(int milliseconds)
{
    const qint64 until = manualNow_ + milliseconds;
    while (waiting_ && dueMs_ <= until) {
        manualNow_ = dueMs_;
        Due();
    }
    manualNow_ = std::max(manualNow_, until);
}
