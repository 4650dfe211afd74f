#pragma once

#include <QString>

class TForm1;

// Keeps the tables of a running server across a restart: at start it brings
// back the tables the last run saved in the state directory; SaveAndClose
// (on SIGTERM, and at the end of the operator's shutdown) saves every table,
// closes every connection without a word and ends the program with 0.
class TTableKeeper {
public:
    // Call once the server listens, before the event loop runs, so that no
    // connection sees the tables before they are back.
    TTableKeeper(TForm1& form, const QString& stateDirectory);

    // Saves the tables and closes every connection (nobody is told: every
    // player is away, as after a drop, and comes back to the next run);
    // then the event loop ends with 0. A save that fails is logged; the
    // connections close all the same.
    void SaveAndClose();

private:
    void Log(const QString& line);

    TForm1& form_;
    QString path_;
};
