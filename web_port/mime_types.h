#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// The content types of file names by their extension, as the system's table
// (/etc/mime.types, lines of "type ext ext ...") gives them.
class TMimeTypes {
public:
    // Reads the table; a missing or unreadable file leaves it empty.
    explicit TMimeTypes(const QString& tableFile = QStringLiteral("/etc/mime.types"));

    // The Content-Type for a file name: the table's type for its extension
    // (any letter case), with "; charset=utf-8" for text, or
    // application/octet-stream for an extension the table lacks.
    QByteArray ContentType(const QString& fileName) const;

private:
    QHash<QString, QByteArray> types_;
};
