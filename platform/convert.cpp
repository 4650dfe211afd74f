#include "platform/convert.h"

#include "platform/exceptions.h"

int StrToInt(const QString& text)
{
    QString digits = text.trimmed();
    bool negative = false;
    if (digits.startsWith(u'-') || digits.startsWith(u'+')) {
        negative = digits.startsWith(u'-');
        digits.remove(0, 1);
    }
    int base = 10;
    if (digits.startsWith(u'$')) {
        base = 16;
        digits.remove(0, 1);
    } else if (digits.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) {
        base = 16;
        digits.remove(0, 2);
    }
    bool ok = !digits.isEmpty() && digits.at(0).isLetterOrNumber();
    const qlonglong value = ok ? digits.toLongLong(&ok, base) : 0;
    const qlonglong signedValue = negative ? -value : value;
    if (!ok || signedValue < INT32_MIN || signedValue > INT32_MAX)
        throw EConvertError(FormatMessage(Messages::InvalidInteger, text.toStdString()));
    return static_cast<int>(signedValue);
}
