#pragma once

#include "platform/ansi_string.h"
#include "platform/stream.h"
#include "streams/stream_writer.h"

// Writes the body of a multipart/form-data message: text
// fields, file fields and the closing boundary line, every line ending in
// CR LF. The message header that announces the boundary
// ("Content-Type: multipart/form-data; boundary=" followed by Boundary) is the
// caller's business.
//
// Expected order: any number of WriteValue and WriteFile calls, then one
// WriteFooter; the writer keeps no state and enforces no order. Names, file
// names, values and content types go out exactly as passed: no quoting, no
// escaping, no check for CR, LF or double quotes. Nothing is undone on a
// failure: a part written halfway stays in the output.
class TMultipartFormDataWriter : public TStreamWriter {
public:
    // The output stream is not owned.
    explicit TMultipartFormDataWriter(TStream* outputStream);

    // Sets both Stream and OutputStream.
    void SetStream(TStream* stream);

    // "--B", the disposition line with the name, an empty line, the value.
    void WriteValue(const AnsiString& fieldName, const AnsiString& value);

    // "--B", the disposition line with name and file name, "Content-type: "
    // and the type unless contentType is empty, an empty line, then Size bytes
    // copied from the content stream's current position (in bounded chunks),
    // then CR LF. A content stream not at its start raises EReadError from the
    // copy, after the header lines are out.
    void WriteFile(const AnsiString& fieldName, TStream* content, const AnsiString& fileName,
                   const AnsiString& contentType);

    // The named file as a file field: the file is opened read-only (mode 0)
    // before anything is written, so a file that cannot be opened raises
    // EFOpenError and leaves the output untouched. The content type is
    // GetFileMimeType(fileName); the header carries fileName exactly as
    // passed, directories included.
    void WriteFile(const AnsiString& fieldName, const AnsiString& fileName);

    // "--B--".
    void WriteFooter();

    TStream* OutputStream = nullptr;  // always the same stream as Stream; not owned
    AnsiString Boundary;
};
