#include "server/state_directory.h"

#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

namespace {

QString Variable(const std::function<const char*(const char*)>& environment, const char* name)
{
    const char* value = environment(name);
    return value ? QString::fromLocal8Bit(value) : QString();
}

QString HomeDirectory(const std::function<const char*(const char*)>& environment)
{
    const QString home = Variable(environment, "HOME");
    if (!home.isEmpty())
        return home;
    const passwd* entry = ::getpwuid(::getuid());
    return entry ? QString::fromLocal8Bit(entry->pw_dir) : QStringLiteral("/");
}

}  // namespace

QString StateDirectory(const QString& option, const std::function<const char*(const char*)>& environment)
{
    if (!option.isEmpty())
        return option;
    // systemd separates several state directories with colons.
    const QString systemd = Variable(environment, "STATE_DIRECTORY").section(u':', 0, 0);
    if (!systemd.isEmpty())
        return systemd;
    const QString xdg = Variable(environment, "XDG_STATE_HOME");
    if (!xdg.isEmpty())
        return xdg + QStringLiteral("/kivol");
    return HomeDirectory(environment) + QStringLiteral("/.local/state/kivol");
}

QString MakeStateDirectory(const QString& path)
{
    if (QDir(path).exists())
        return {};
    if (!QDir().mkpath(path))
        return QStringLiteral("%1: cannot create the state directory").arg(path);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return {};
}
