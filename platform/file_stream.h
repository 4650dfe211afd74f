#pragma once

#include <cstdint>

#include "platform/ansi_string.h"
#include "platform/stream.h"

// Open-mode word of TFileStream. fmCreate creates the file (replacing an
// existing one) for reading and writing without sharing; any other value opens
// an existing file with an access (bits 0-1) and a sharing mode (bits 4-7).
inline constexpr std::uint16_t fmCreate = 0xFFFF;
inline constexpr std::uint16_t fmOpenRead = 0x0000;
inline constexpr std::uint16_t fmOpenWrite = 0x0001;
inline constexpr std::uint16_t fmOpenReadWrite = 0x0002;
inline constexpr std::uint16_t fmShareCompat = 0x0000;
inline constexpr std::uint16_t fmShareExclusive = 0x0010;
inline constexpr std::uint16_t fmShareDenyWrite = 0x0020;
inline constexpr std::uint16_t fmShareDenyRead = 0x0030;
inline constexpr std::uint16_t fmShareDenyNone = 0x0040;

// A stream over a file.
//
// Sharing is honoured between the TFileStream objects of this process: an open
// fails with EFOpenError (EFCreateError for fmCreate) when its access is denied
// by the sharing mode of a stream already open on the same file, or when its
// own sharing mode denies the access of such a stream. Files are identified by
// device and inode, so different paths to one file conflict as they should.
// Other processes are not restrained (POSIX has no mandatory share modes).
// fmCreate checks sharing before it empties the file, so a refused create
// leaves the file untouched.
class TFileStream : public TStream {
public:
    TFileStream(const AnsiString& fileName, std::uint16_t mode);
    ~TFileStream() override;

    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    int Seek(int offset, std::uint16_t origin) override;
    void SetSize(int newSize) override;

    const AnsiString& FileName() const { return fileName_; }
    int Handle() const { return handle_; }

private:
    AnsiString fileName_;
    int handle_ = -1;
};
