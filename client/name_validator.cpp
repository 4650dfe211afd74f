#include "client/name_validator.h"

#include "platform/cp932.h"

TByteLengthValidator::TByteLengthValidator(int maxBytes, QObject* parent) : QValidator(parent), MaxBytes(maxBytes) {}

QValidator::State TByteLengthValidator::validate(QString& input, int&) const
{
    return Cp932::ByteLength(input) <= MaxBytes ? Acceptable : Invalid;
}
