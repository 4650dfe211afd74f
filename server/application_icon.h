#pragma once

#include <QIcon>

// The server's icon, drawn at run time: a white card with a red "K".
QIcon ServerIcon();
