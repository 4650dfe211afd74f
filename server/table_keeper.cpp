#include "server/table_keeper.h"

#include <QCoreApplication>

#include "platform/cp932.h"
#include "server/server_window.h"
#include "server/table_store.h"

TTableKeeper::TTableKeeper(TForm1& form, const QString& stateDirectory)
    : form_(form), path_(TablesFilePath(stateDirectory))
{
    LoadTablesFile(form_.Game, path_, [this](const QString& line) { Log(line); });
}

void TTableKeeper::SaveAndClose()
{
    form_.Game.CompleteKicks();
    const QString problem = WriteTablesFile(form_.Game, path_);
    Log(problem.isEmpty() ? QStringLiteral("tables saved to %1").arg(path_)
                          : QStringLiteral("the tables could not be saved: %1").arg(problem));
    // The game hears of no close: the entries stay as saved, and nothing is
    // sent to the connections that remain while the others go.
    form_.PacketServerSocket1.SetConnectionOwner(nullptr);
    form_.PacketServerSocket1.SetActive(false);
    QCoreApplication::exit(0);
}

void TTableKeeper::Log(const QString& line)
{
    form_.AddLog(Cp932::Encode(QStringLiteral("/保存  ") + line));
}
