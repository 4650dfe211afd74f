#include "server/event_loop_stalls.h"

#include <QAbstractEventDispatcher>
#include <QObject>
#include <algorithm>

TEventLoopStalls::TEventLoopStalls()
{
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        awake_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, [this] { Awake(); });
        aboutToBlock_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, [this] { AboutToBlock(); });
    }
}

TEventLoopStalls::~TEventLoopStalls()
{
    QObject::disconnect(awake_);
    QObject::disconnect(aboutToBlock_);
}

double TEventLoopStalls::TakeLongestSeconds()
{
    const double seconds = std::chrono::duration<double>(longest_).count();
    longest_ = {};
    return seconds;
}

void TEventLoopStalls::Awake()
{
    const TClock::time_point now = TClock::now();
    EndTurn(now);
    inTurn_ = true;
    turnStart_ = now;
}

void TEventLoopStalls::AboutToBlock()
{
    EndTurn(TClock::now());
}

void TEventLoopStalls::EndTurn(TClock::time_point now)
{
    if (inTurn_)
        longest_ = std::max(longest_, now - turnStart_);
    inTurn_ = false;
}
