#include "client/version_info.h"

#include "client/version_block.h"

std::string_view ProgramVersionBlock()
{
    return std::string_view(GeneratedVersionBlock, sizeof GeneratedVersionBlock - 1);
}

std::optional<QString> QueryVersionString(std::string_view path, std::string_view block)
{
    while (!block.empty()) {
        const std::size_t end = block.find('\n');
        const std::string_view line = block.substr(0, end);
        block = end == std::string_view::npos ? std::string_view() : block.substr(end + 1);
        if (line.size() > path.size() && line.substr(0, path.size()) == path && line[path.size()] == '=') {
            const std::string_view value = line.substr(path.size() + 1);
            if (value.empty())
                return std::nullopt;
            return QString::fromUtf8(value.data(), static_cast<qsizetype>(value.size()));
        }
    }
    return std::nullopt;
}
