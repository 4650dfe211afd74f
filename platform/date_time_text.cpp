#include "platform/date_time_text.h"

#include <QLocale>
#include <QRegularExpression>
#include <cstdlib>
#include <ctime>

#include "platform/cp932.h"

namespace {

const QString JapaneseFormat = QStringLiteral("yyyy/MM/dd H:mm:ss");

bool UsesJapaneseForm(const QString& name)
{
    return name.isEmpty() || name == u"C" || name == u"POSIX" || name.startsWith(u"C.") ||
           name.startsWith(u"ja");
}

// Drops everything but printable ASCII from a format (direction marks, native
// separators), so that the text fits Shift-JIS on every client.
QString AsciiOnly(QString format)
{
    format.remove(QRegularExpression(QStringLiteral("[^\\x20-\\x7e]")));
    return format;
}

// Keeps a Qt date format numeric: month names become numbers, weekday names go.
QString NumericDate(QString format)
{
    format = AsciiOnly(format);
    format.replace(QRegularExpression(QStringLiteral("M{3,4}")), QStringLiteral("MM"));
    format.remove(QRegularExpression(QStringLiteral("d{3,4}[,.]?\\s*")));
    return format.trimmed();
}

// A time format with seconds and without the time-zone name.
QString TimeWithSeconds(QString format)
{
    format = AsciiOnly(format);
    format.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")));
    if (!format.contains(u's'))
        format = QStringLiteral("HH:mm:ss");
    return format.trimmed();
}

}  // namespace

namespace DateTimeText {

QString FormatFor(const QString& localeName)
{
    if (UsesJapaneseForm(localeName))
        return JapaneseFormat;
    const QLocale locale(localeName.section(u'.', 0, 0).section(u'@', 0, 0));
    if (locale.language() == QLocale::C || locale.language() == QLocale::Japanese)
        return JapaneseFormat;
    return NumericDate(locale.dateFormat(QLocale::ShortFormat)) + u' ' +
           TimeWithSeconds(locale.timeFormat(QLocale::LongFormat));
}

QString CurrentLocaleName()
{
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return QString::fromLocal8Bit(value);
    }
    return {};
}

QString Format(const QDateTime& moment, const QString& localeName)
{
    // Rendered with ASCII digits whatever the locale, so the text always fits
    // in Shift-JIS.
    return QLocale::c().toString(moment, FormatFor(localeName));
}

AnsiString Now()
{
    // Every line of a second has the same text: it is made once a second,
    // since making it reads the time zone's file and converts the text.
    struct TMade {
        std::time_t second = -1;
        QString localeName;
        AnsiString text;
    };
    static thread_local TMade made;
    const std::time_t second = std::time(nullptr);
    const QString localeName = CurrentLocaleName();
    if (second != made.second || localeName != made.localeName)
        made = {second, localeName, Cp932::Encode(Format(QDateTime::fromSecsSinceEpoch(second), localeName))};
    return made.text;
}

}  // namespace DateTimeText
