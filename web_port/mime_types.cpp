#include "web_port/mime_types.h"

#include <QFile>

TMimeTypes::TMimeTypes(const QString& tableFile)
{
    QFile file(tableFile);
    if (!file.open(QIODevice::ReadOnly))
        return;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().simplified();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> words = line.split(' ');
        for (qsizetype i = 1; i < words.size(); ++i)
            types_.insert(QString::fromLatin1(words[i]).toLower(), words[0]);
    }
}

QByteArray TMimeTypes::ContentType(const QString& fileName) const
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QByteArray type = dot < 0 ? QByteArray() : types_.value(fileName.mid(dot + 1).toLower());
    if (type.isEmpty())
        return QByteArrayLiteral("application/octet-stream");
    if (type.startsWith("text/"))
        return type + "; charset=utf-8";
    return type;
}
