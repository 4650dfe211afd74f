#pragma once

#include <QValidator>

// Accepts a text of at most MaxBytes bytes in code page 932, a double-byte
// character counting two: an edit box with it refuses whatever is typed or
// pasted past the limit.
class TByteLengthValidator : public QValidator {
public:
    TByteLengthValidator(int maxBytes, QObject* parent);

    State validate(QString& input, int& pos) const override;

    const int MaxBytes;
};
