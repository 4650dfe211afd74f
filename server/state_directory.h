#pragma once

#include <QString>
#include <cstdlib>
#include <functional>

// The folder of the files the server keeps between runs (bans.json,
// tables.json): the one --state-dir names (option), else the one systemd
// gives ($STATE_DIRECTORY, the first when it lists several), else
// $XDG_STATE_HOME/kivol, else ~/.local/state/kivol. environment reads a
// variable (nullptr when unset); tests give their own.
QString StateDirectory(const QString& option,
                       const std::function<const char*(const char*)>& environment = ::getenv);

// Creates the folder (and its parents) with mode 0700 where missing; an
// empty text on success, else what went wrong.
QString MakeStateDirectory(const QString& path);
