#include "server/headless_environment.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/application.h"
#include "server/log_output.h"

namespace {

// What the toolkit accepts without a warning: a directory of this user's
// that nobody else may enter.
bool UsableRuntimeDirectory(const char* path)
{
    struct stat status {};
    return path && *path && stat(path, &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == geteuid() &&
           (status.st_mode & 0777) == 0700;
}

}  // namespace

void THeadlessEnvironment::Enter()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (UsableRuntimeDirectory(std::getenv("XDG_RUNTIME_DIR")))
        return;
    runtimeDirectory_ = std::make_unique<QTemporaryDir>();
    if (runtimeDirectory_->isValid())
        setenv("XDG_RUNTIME_DIR", runtimeDirectory_->path().toLocal8Bit().constData(), 1);
}

void THeadlessEnvironment::ReportMessageBoxes()
{
    Application.OnMessageBox = [](const QString& text, const QString& caption, int flags) {
        const int icon = flags & 0xF0;
        WriteLogLine(stderr, caption + QStringLiteral(": ") + text,
                     icon == MB_ICONERROR     ? TLogPriority::Error
                     : icon == MB_ICONWARNING ? TLogPriority::Warning
                                              : TLogPriority::Info);
        return IDOK;
    };
}
