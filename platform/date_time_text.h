#pragma once

#include <QDateTime>
#include <QString>

#include "platform/ansi_string.h"

// The date-time text of the game: the short numeric date, a space and the
// time with seconds, as the regional setting writes them. Under a Japanese
// locale, and under the C/POSIX locale that servers often run with, it is the
// Japanese form "2003/05/17 21:04:09"; other locales give their own numeric
// short date and a time with seconds. Month names, weekday names and time-zone
// names are never used: the text travels in Shift-JIS to every client.
namespace DateTimeText {

// The format for the locale named like LC_TIME (for example "ja_JP.UTF-8",
// "C", "en_US.UTF-8"), in QDateTime's notation.
QString FormatFor(const QString& localeName);

// The locale name in force: LC_ALL, else LC_TIME, else LANG.
QString CurrentLocaleName();

// Unicode and CP932 forms of the text for a moment, and for now.
QString Format(const QDateTime& moment, const QString& localeName);
AnsiString Now();

}  // namespace DateTimeText
