#pragma once

#include <QByteArray>
#include <QString>

// The client's files, the five sounds and the card bitmaps, lie beside the
// program file: they are found there whatever the working directory is.
QString ProgramDirectory();

// The file of that name in the directory. The name is appended as it is, so
// that a name read off the wire never leaves the directory as an absolute path.
QString AssetPath(const QString& directory, const QString& fileName);

// The whole file; EFOpenError naming it when it cannot be opened or read.
QByteArray ReadAssetFile(const QString& path);
