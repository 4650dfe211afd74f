#include "platform/cp932.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <stdexcept>

namespace {

// One iconv conversion descriptor, reset before every use.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as possible of [in, in+inLeft) into out. Returns 0 when
    // all input was converted, or the errno that stopped it (EILSEQ, EINVAL).
    int Convert(const char*& in, std::size_t& inLeft, std::string& out)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char buffer[1024];
        while (inLeft > 0) {
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t r = iconv(cd_, const_cast<char**>(&in), &inLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (r == static_cast<std::size_t>(-1) && errno != E2BIG)
                return errno;
        }
        return 0;
    }

private:
    iconv_t cd_;
};

Converter& Decoder()
{
    thread_local Converter c("UTF-8", "CP932");
    return c;
}

Converter& Encoder()
{
    thread_local Converter c("CP932", "UTF-8");
    return c;
}

// Bytes to skip at an unconvertible UTF-8 position: the byte itself and the
// continuation bytes (10xxxxxx) that belong to it, never the next character.
std::size_t SkipLength(const char* in, std::size_t left)
{
    std::size_t n = 1;
    while (n < left && (static_cast<unsigned char>(in[n]) & 0xC0) == 0x80)
        ++n;
    return n;
}

// Characters that other systems' Japanese input gives for codes of code
// page 932 and that the converter's table does not hold.
struct TExtraCode {
    std::string_view Utf8;
    std::string_view Code;
};
constexpr TExtraCode ExtraCodes[] = {
    {"\u301C", "\x81\x60"}, {"\u2016", "\x81\x61"}, {"\u2212", "\x81\x7C"}, {"\u00A2", "\x81\x91"},
    {"\u00A3", "\x81\x92"}, {"\u00AC", "\x81\xCA"}, {"\u2014", "\x81\x5C"}, {"\u00A6", "\xFA\x55"},
};

// UTF-8 to code page 932; a character it cannot write becomes "?" and
// clears exact.
AnsiString EncodeUtf8(std::string_view utf8, bool& exact)
{
    AnsiString out;
    out.reserve(utf8.size());
    const char* in = utf8.data();
    std::size_t left = utf8.size();
    while (left > 0) {
        const int error = Encoder().Convert(in, left, out);
        if (error == 0)
            break;
        const std::size_t skip = SkipLength(in, left);
        const std::string_view character(in, skip);
        const auto* extra = std::find_if(std::begin(ExtraCodes), std::end(ExtraCodes),
                                         [&](const TExtraCode& e) { return e.Utf8 == character; });
        if (extra != std::end(ExtraCodes)) {
            out += extra->Code;
        } else {
            out += '?';
            exact = false;
        }
        in += skip;
        left -= skip;
    }
    return out;
}

}  // namespace

namespace Cp932 {

std::string ToUtf8(std::string_view bytes)
{
    static constexpr const char* replacement = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    const char* in = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const int error = Decoder().Convert(in, left, out);
        if (error == 0)
            break;
        out += replacement;
        if (error == EINVAL)
            break;  // a lead byte without its trail byte ends the text
        // Skip the offending byte; a lead byte takes its trail byte with it
        // unless that byte is plain ASCII, which may start the next character.
        const auto lead = static_cast<unsigned char>(*in);
        std::size_t skip = 1;
        if (IsLeadByte(lead) && left >= 2 && static_cast<unsigned char>(in[1]) >= 0x40)
            skip = 2;
        in += skip;
        left -= skip;
    }
    return out;
}

std::optional<AnsiString> FromUtf8Exactly(std::string_view utf8)
{
    bool exact = true;
    AnsiString out = EncodeUtf8(utf8, exact);
    if (!exact)
        return std::nullopt;
    return out;
}

AnsiString FromUtf8(std::string_view utf8)
{
    bool exact = true;
    return EncodeUtf8(utf8, exact);
}

QString Decode(std::string_view bytes)
{
    return QString::fromStdString(ToUtf8(bytes));
}

AnsiString Encode(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return FromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

int ByteLength(const QString& text)
{
    return static_cast<int>(Encode(text).size());
}

}  // namespace Cp932
