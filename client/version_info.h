#pragma once

#include <QString>
#include <optional>
#include <string_view>

// The program's version block: string values looked up by path, such as
// "\StringFileInfo\041103A4\FileVersion" (language 0x0411, Japanese; code page
// 0x03A4, that is 932). The block is built into the program from the
// project's version; it is UTF-8 text of "path=value" lines.
std::string_view ProgramVersionBlock();

// The value stored at the path in the block; nothing when the block is empty,
// lacks the path or holds an empty value there.
std::optional<QString> QueryVersionString(std::string_view path, std::string_view block = ProgramVersionBlock());
