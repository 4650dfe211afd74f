#include "client/asset_files.h"

#include <QCoreApplication>
#include <QFile>

#include "platform/exceptions.h"

QString ProgramDirectory()
{
    return QCoreApplication::applicationDirPath();
}

QString AssetPath(const QString& directory, const QString& fileName)
{
    return directory + u'/' + fileName;
}

QByteArray ReadAssetFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EFOpenError(FormatMessage(Messages::FOpenError, path.toStdString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EFOpenError(FormatMessage(Messages::FOpenError, path.toStdString()));
    return bytes;
}
