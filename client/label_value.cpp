#include "client/label_value.h"

#include <QLabel>

#include "platform/convert.h"
#include "platform/exceptions.h"

int LabelValue(const QLabel* label, int defaultValue)
{
    try {
        return StrToInt(label->text());
    } catch (const EConvertError&) {
        return defaultValue;
    }
}
