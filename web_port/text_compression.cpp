#include "web_port/text_compression.h"

#include <QList>
#include <zlib.h>

#include <stdexcept>

namespace {

// Below this size the gzip header and trailer outweigh what compression saves.
constexpr qsizetype SmallestCompressed = 256;

bool IsText(const QByteArray& contentType)
{
    const QByteArray type = contentType.split(';').first().trimmed().toLower();
    return type.startsWith("text/") || type == "application/json" || type == "application/javascript" ||
           type == "image/svg+xml";
}

QByteArray ContentType(const THttpAnswer& answer)
{
    for (const auto& [name, value] : answer.Headers)
        if (name.compare("Content-Type", Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

}  // namespace

bool AcceptsGzip(const QByteArray& acceptEncoding)
{
    for (const QByteArray& item : acceptEncoding.split(',')) {
        const QList<QByteArray> parts = item.split(';');
        const QByteArray coding = parts.first().trimmed().toLower();
        if (coding != "gzip" && coding != "*")
            continue;
        bool refused = false;
        for (qsizetype i = 1; i < parts.size(); ++i) {
            const QByteArray parameter = parts[i].trimmed().toLower();
            if (parameter.startsWith("q=")) {
                bool ok = false;
                const double q = parameter.mid(2).toDouble(&ok);
                refused = !ok || q <= 0;
            }
        }
        if (!refused)
            return true;
    }
    return false;
}

QByteArray Gzip(const QByteArray& body)
{
    z_stream stream{};
    // 15 window bits, plus 16 for the gzip header and trailer.
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("zlib cannot start compressing");
    QByteArray out(static_cast<qsizetype>(deflateBound(&stream, static_cast<uLong>(body.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.constData()));
    stream.avail_in = static_cast<uInt>(body.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    const auto written = static_cast<qsizetype>(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw std::runtime_error("zlib did not finish compressing");
    out.truncate(written);
    return out;
}

void CompressTextAnswer(THttpAnswer& answer, const QByteArray& acceptEncoding)
{
    if (!IsText(ContentType(answer)))
        return;
    SetHeader(answer, "Vary", "Accept-Encoding");
    if (answer.Body.size() < SmallestCompressed || !AcceptsGzip(acceptEncoding))
        return;
    answer.Body = Gzip(answer.Body);
    SetHeader(answer, "Content-Encoding", "gzip");
}
