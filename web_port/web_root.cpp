#include "web_port/web_root.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>

TWebRoot::TWebRoot(QString folder) : folder_(std::move(folder)) {}

std::optional<QString> TWebRoot::File(const QByteArray& encodedPath) const
{
    QStringList names;
    for (const QByteArray& segment : encodedPath.split('/')) {
        const QString name = QUrl::fromPercentEncoding(segment);
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
            name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name.contains(QChar(0)))
            return std::nullopt;
        names << name;
    }
    // The folder itself may be a link (an installed tree often is); what
    // counts is where its files really lie.
    const QString root = QFileInfo(folder_).canonicalFilePath();
    if (root.isEmpty())
        return std::nullopt;
    const QFileInfo file(root + QLatin1Char('/') + names.join(QLatin1Char('/')));
    const QString real = file.canonicalFilePath();
    if (real.isEmpty() || !real.startsWith(root + QLatin1Char('/')) || !QFileInfo(real).isFile())
        return std::nullopt;
    return real;
}

std::optional<QString> TWebRoot::IndexPage() const
{
    return File(QByteArrayLiteral("index.html"));
}

bool TWebRoot::IsVersionedName(const QString& fileName)
{
    const QStringList parts = fileName.split(QLatin1Char('.'));
    // The last part is the extension.
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part.size() >= 8 && std::all_of(part.begin(), part.end(), [](QChar c) {
                return c.isDigit() || (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
                       (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
            }))
            return true;
    }
    return false;
}
