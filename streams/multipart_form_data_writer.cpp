#include "streams/multipart_form_data_writer.h"

#include <cstdint>

#include "platform/file_stream.h"
#include "streams/host_information.h"

// Every line goes out through the inherited WriteLine: the text assembled as
// one string in one stream call, then LineEnd (CR LF) in a second.

TMultipartFormDataWriter::TMultipartFormDataWriter(TStream* outputStream)
    : TStreamWriter(nullptr, LittleEndian), Boundary("112238763672354sdf324098219")
{
    SetStream(outputStream);
}

void TMultipartFormDataWriter::SetStream(TStream* stream)
{
    Stream = stream;
    OutputStream = stream;
}

void TMultipartFormDataWriter::WriteValue(const AnsiString& fieldName, const AnsiString& value)
{
    WriteLine("--" + Boundary);
    WriteLine("Content-Disposition: form-data; name=\"" + fieldName + "\"");
    WriteLine(AnsiString());
    WriteLine(value);
}

void TMultipartFormDataWriter::WriteFile(const AnsiString& fieldName, TStream* content, const AnsiString& fileName,
                                         const AnsiString& contentType)
{
    WriteLine("--" + Boundary);
    WriteLine("Content-Disposition: form-data; name=\"" + fieldName + "\"; filename=\"" + fileName + "\"");
    if (!contentType.empty())
        WriteLine("Content-type: " + contentType);
    WriteLine(AnsiString());
    // Size bytes from the current position; the framework copy moves them in
    // chunks of at most TStream::CopyChunk bytes. (A count of 0 would make the
    // copy rewind and take the whole source, so an empty stream is skipped.)
    const std::int64_t size = content->GetSize();
    if (size > 0)
        OutputStream->CopyFrom(content, size);
    WriteLine(AnsiString());
}

void TMultipartFormDataWriter::WriteFile(const AnsiString& fieldName, const AnsiString& fileName)
{
    TFileStream file(fileName, fmOpenRead | fmShareCompat);  // freed on every way out
    WriteFile(fieldName, &file, fileName, GetFileMimeType(fileName));
}

void TMultipartFormDataWriter::WriteFooter()
{
    WriteLine("--" + Boundary + "--");
}
