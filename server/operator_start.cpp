#include "server/operator_start.h"

#include <unistd.h>

#include <QDir>

#include "control/control_paths.h"
#include "platform/cp932.h"
#include "records/sqlite_record_store.h"
#include "server/listening_lines.h"
#include "server/state_directory.h"

QString StartOperatorTools(const TServerOptions& options, TGameServer& game, TOperatorCommands& commands,
                           TStateLock& lock, std::unique_ptr<Control::TControlServer>& control)
{
    const QString stateDirectory = StateDirectory(options.StateDirectory);
    if (QString problem = MakeStateDirectory(stateDirectory); !problem.isEmpty())
        return problem;
    if (QString problem = lock.Take(stateDirectory); !problem.isEmpty())
        return problem;
    if (QString problem = game.Bans.Load(QDir(stateDirectory).filePath(QStringLiteral("bans.json")));
        !problem.isEmpty())
        return problem;
    if (options.Records) {
        QString recordsProblem;
        auto records = Records::OpenSqliteRecordStore(stateDirectory, game.RecordsLog(), recordsProblem);
        if (!records)
            return recordsProblem;
        game.UseRecords(std::move(records));
    }
    game.SetAddressLimits(options.Limits);

    std::optional<gid_t> group;
    if (!options.ControlGroup.isEmpty()) {
        group = Control::GroupId(options.ControlGroup.toStdString());
        if (!group)
            return QStringLiteral("--control-group: there is no group '%1'.").arg(options.ControlGroup);
    }
    const std::string path = options.ControlPath.isEmpty() ? Control::DefaultControlPath(options.Port, getuid())
                                                           : options.ControlPath.toStdString();
    if (std::string problem = Control::MakeControlDirectory(path, group); !problem.empty())
        return QString::fromStdString(problem);
    control = std::make_unique<Control::TControlServer>(commands.Handler());
    Control::TControlListenOptions listen{path, group, [&commands](const std::string& line) { commands.Log(line); }};
    if (std::string problem = control->Listen(listen); !problem.empty())
        return QString::fromStdString(problem);
    commands.Log(ListeningLines::Control(path));
    return {};
}
