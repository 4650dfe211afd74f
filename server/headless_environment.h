#pragma once

#include <QTemporaryDir>
#include <memory>

// What a headless server sets up around the toolkit so that its standard
// output holds log lines only and standard error only real trouble: the
// offscreen platform, a private runtime directory when the session has none
// (a service, a login without a session manager; the toolkit would warn about
// it), and message boxes written as lines with their priority.
class THeadlessEnvironment {
public:
    // Before the application object is made.
    void Enter();
    // After the application object exists: message boxes go to standard
    // error as "<caption>: <text>" and are answered OK.
    static void ReportMessageBoxes();

private:
    std::unique_ptr<QTemporaryDir> runtimeDirectory_;
};
