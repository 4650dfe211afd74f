#include "client/window_timer.h"

#include "platform/application.h"

TTimer::TTimer(int interval) : interval_(interval)
{
    timer_.setInterval(interval);
    QObject::connect(&timer_, &QTimer::timeout, [this] { DispatchSafely([this] { Expired(); }); });
}

void TTimer::SetEnabled(bool value)
{
    enabled_ = value;
    due_ = now_ + interval_;
    if (manual_)
        return;
    if (value)
        timer_.start();
    else
        timer_.stop();
}

void TTimer::UseManualClock()
{
    manual_ = true;
    timer_.stop();
}

void TTimer::Advance(int milliseconds)
{
    const qint64 until = now_ + milliseconds;
    while (enabled_ && due_ <= until) {
        now_ = due_;
        due_ = now_ + interval_;
        Expired();
    }
    now_ = until;
}

void TTimer::Expired()
{
    if (enabled_ && OnTimer)
        OnTimer();
}
