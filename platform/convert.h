#pragma once

#include <QString>

// The framework's text-to-integer conversion: optional blanks around an
// optional sign and decimal digits (or "$"/"0x" hexadecimal). Anything else,
// or a value outside 32 bits, raises EConvertError "'<text>' は整数値ではありません".
int StrToInt(const QString& text);
