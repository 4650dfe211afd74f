#pragma once

// Helpers shared by the tests of the file variants, the multipart writer and
// the host information: a temporary folder and the bytes of a memory stream.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/memory_stream.h"

namespace streams_test {

// A fresh folder under /tmp, removed with everything in it at the end.
class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/kivol-streams-XXXXXX";
        if (::mkdtemp(pattern))
            path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool Ok() const { return !path_.empty(); }
    // The path of a file in the folder (not created).
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // Creates (or replaces) a file in the folder with the given bytes.
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        const std::string path = File(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

private:
    std::string path_;
};

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::string Bytes(TMemoryStream& stream)
{
    return std::string(stream.Memory(), static_cast<std::size_t>(stream.GetSize()));
}

inline std::string Hex(const std::string& bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

}  // namespace streams_test
