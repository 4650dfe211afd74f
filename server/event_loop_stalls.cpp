#include "server/event_loop_stalls.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <algorithm>

#include "platform/epoll_event_dispatcher.h"

TEventLoopStalls::TEventLoopStalls()
{
    if (QCoreApplication* application = QCoreApplication::instance())
        application->installEventFilter(this);
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        const bool awakeEndsTheWait = TEpollEventDispatcher::RunsThisThread();
        awake_ = QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, [this, awakeEndsTheWait] {
            EndTurn();
            if (awakeEndsTheWait)
                StartTurn();
        });
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
    if (!inTurn_)
        StartTurn();
    return false;
}

void TEventLoopStalls::StartTurn()
{
    inTurn_ = true;
    turnStart_ = TClock::now();
}

void TEventLoopStalls::EndTurn()
{
    if (inTurn_)
        longest_ = std::max(longest_, TClock::now() - turnStart_);
    inTurn_ = false;
}
