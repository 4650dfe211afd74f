#include "server/event_loop_stalls.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <algorithm>

TEventLoopStalls::TEventLoopStalls()
{
    if (QCoreApplication* application = QCoreApplication::instance())
        application->installEventFilter(this);
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        awake_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, [this] { EndTurn(); });
        aboutToBlock_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, [this] { EndTurn(); });
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

bool TEventLoopStalls::eventFilter(QObject*, QEvent*)
{
    if (!inTurn_) {
        inTurn_ = true;
        turnStart_ = TClock::now();
    }
    return false;
}

void TEventLoopStalls::EndTurn()
{
    if (inTurn_)
        longest_ = std::max(longest_, TClock::now() - turnStart_);
    inTurn_ = false;
}
