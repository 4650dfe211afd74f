#pragma once

#include <string>

// A byte string. Protocol and file texts are Shift-JIS (CP932) bytes; the
// length always counts bytes, never characters.
using AnsiString = std::string;
