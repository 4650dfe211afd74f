#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/exceptions.h"
#include "platform/file_stream.h"
#include "platform/memory_stream.h"
#include "streams/multipart_form_data_writer.h"
#include "streams/streams_test_support.h"

using streams_test::Bytes;
using streams_test::Hex;
using streams_test::TempDir;

namespace {

const std::string B = "112238763672354sdf324098219";

// Records the bytes of every Write call.
class RecordingStream : public TMemoryStream {
public:
    int Write(const void* buffer, int count) override
    {
        writes.emplace_back(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
        return TMemoryStream::Write(buffer, count);
    }
    std::vector<std::string> writes;
};

// Accepts nothing: every write fails.
class FullStream : public TMemoryStream {
public:
    int Write(const void*, int) override { return 0; }
};

std::string ShellQuote(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct ParserRun {
    int exitStatus = -1;
    std::string output;
};

// Puts the message header that announces the boundary before the body and
// runs Python's email parser over the message (tests/streams/parse_multipart.py,
// python3 from PATH; scripts/bootstrap.sh installs it).
ParserRun ParseWithPython(const TempDir& dir, const std::string& body)
{
    const std::filesystem::path script = std::filesystem::path(KIVOL_TEST_SOURCE_DIR) / "streams/parse_multipart.py";
    ParserRun run;
    if (!std::filesystem::exists(script)) {
        run.output = "parser script missing: " + script.string();
        return run;
    }
    const std::string message =
        dir.Write("message.eml", "Content-Type: multipart/form-data; boundary=" + B + "\r\n\r\n" + body);
    const std::string command = "python3 " + ShellQuote(script.string()) + " " + ShellQuote(message) + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        run.output = "cannot start: " + command;
        return run;
    }
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        run.output.append(chunk, n);
    const int status = ::pclose(pipe);
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (run.exitStatus == 127)
        run.output = "python3 was not found on PATH (scripts/bootstrap.sh installs it): " + run.output;
    return run;
}

class MultipartTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.Ok()); }
    TempDir dir;
    TMemoryStream out;
};

}  // namespace

TEST_F(MultipartTest, ConstructionSetsBoundaryAndBothStreams)
{
    TMultipartFormDataWriter w(&out);
    EXPECT_EQ(w.Boundary, B);
    EXPECT_EQ(w.Boundary.size(), 27u);
    EXPECT_EQ(w.Stream, &out);
    EXPECT_EQ(w.OutputStream, &out);
    EXPECT_EQ(w.Endian, LittleEndian);
    EXPECT_EQ(w.LineEnd, "\r\n");

    TMemoryStream other;
    w.SetStream(&other);
    EXPECT_EQ(w.Stream, &other);
    EXPECT_EQ(w.OutputStream, &other);
    w.WriteFooter();
    EXPECT_EQ(Bytes(other), "--" + B + "--\r\n");
    EXPECT_EQ(out.GetSize(), 0);
}

TEST_F(MultipartTest, TextFieldAndFileFieldByNameMakeTheTenLines)
{
    const std::string file = dir.Write("note.txt", "file text");
    TMultipartFormDataWriter w(&out);
    w.WriteValue("comment", "hello");
    w.WriteFile("upload", file);
    w.WriteFooter();

    const std::string expected =
        "--112238763672354sdf324098219\r\n"
        "Content-Disposition: form-data; name=\"comment\"\r\n"
        "\r\n"
        "hello\r\n"
        "--112238763672354sdf324098219\r\n"
        "Content-Disposition: form-data; name=\"upload\"; filename=\"" + file + "\"\r\n"
        "Content-type: text/plain\r\n"
        "\r\n"
        "file text\r\n"
        "--112238763672354sdf324098219--\r\n";
    EXPECT_EQ(Bytes(out), expected);
}

TEST_F(MultipartTest, FileFieldFromAStreamCopiesItsBytesRaw)
{
    const std::string content("A\r\nB\0C\rD\n", 9);
    TMemoryStream source;
    source.WriteBuffer(content.data(), static_cast<int>(content.size()));
    source.SetPosition(0);

    TMultipartFormDataWriter w(&out);
    w.WriteFile("data", &source, "C:\\dir\\raw.bin", "application/octet-stream");
    EXPECT_EQ(Bytes(out), "--" + B + "\r\n"
                          "Content-Disposition: form-data; name=\"data\"; filename=\"C:\\dir\\raw.bin\"\r\n"
                          "Content-type: application/octet-stream\r\n"
                          "\r\n" + content + "\r\n");
    EXPECT_EQ(source.GetPosition(), 9) << "the content stream is read to its end";
}

TEST_F(MultipartTest, PythonEmailParserReadsTextBinaryAndEmptyFieldsBack)
{
    std::string binary;
    for (int i = 0; i < 256; ++i)
        binary += static_cast<char>(i);
    binary += std::string("\r\n\r\n\0\r\r\n\n\0", 10);
    binary += "\r";  // ends in a lone CR just before the closing CR LF
    TMemoryStream source;
    source.WriteBuffer(binary.data(), static_cast<int>(binary.size()));
    source.SetPosition(0);
    const std::string text = std::string("line one\r\nline two\n\0end\n", 24);
    const std::string file = dir.Write("notes.txt", text);
    const std::string empty = dir.Write("empty.txt", "");
    TMemoryStream nothing;

    TMultipartFormDataWriter w(&out);
    w.WriteValue("title", "Kivol");
    w.WriteValue("blank", "");
    w.WriteFile("blob", &source, "blob.bin", "application/octet-stream");
    w.WriteFile("notes", file);
    w.WriteFile("none", empty);
    w.WriteFile("untyped", &nothing, "plain", "");
    w.WriteFooter();

    const ParserRun run = ParseWithPython(dir, Bytes(out));
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    const std::string expected =
        "message multipart/form-data parts=6 defects=none\n"
        "part name=title filename=- type=- defects=none\n"
        "content " + Hex("Kivol") + "\n"
        "part name=blank filename=- type=- defects=none\n"
        "content -\n"
        "part name=blob filename=blob.bin type=application/octet-stream defects=none\n"
        "content " + Hex(binary) + "\n"
        "part name=notes filename=" + file + " type=text/plain defects=none\n"
        "content " + Hex(text) + "\n"
        "part name=none filename=" + empty + " type=text/plain defects=none\n"
        "content -\n"
        "part name=untyped filename=plain type=- defects=none\n"
        "content -\n";
    EXPECT_EQ(run.output, expected);
}

TEST_F(MultipartTest, WriteFileByNameOfAMissingFileRaisesAndWritesNothing)
{
    out.WriteBuffer("before", 6);
    TMultipartFormDataWriter w(&out);
    const std::string missing = dir.File("missing.txt");
    try {
        w.WriteFile("upload", missing);
        FAIL() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), FormatMessage(Messages::FOpenError, missing));
    }
    EXPECT_EQ(Bytes(out), "before");
    EXPECT_EQ(out.GetPosition(), 6);
}

TEST_F(MultipartTest, WriteFileByNameFreesTheFileAlsoWhenWritingFails)
{
    const std::string file = dir.Write("a.txt", "abc");
    FullStream full;
    TMultipartFormDataWriter w(&full);
    EXPECT_THROW(w.WriteFile("upload", file), EWriteError);
    // An exclusive open succeeds only when no stream of this process holds the file.
    EXPECT_NO_THROW(TFileStream(file, fmOpenReadWrite | fmShareExclusive));

    TMultipartFormDataWriter ok(&out);
    ok.WriteFile("upload", file);
    EXPECT_NO_THROW(TFileStream(file, fmOpenReadWrite | fmShareExclusive));
}

TEST_F(MultipartTest, EmptyFileWritesTheHeadersAndDirectlyTheClosingLineEnd)
{
    const std::string file = dir.Write("empty.txt", "");
    TMultipartFormDataWriter w(&out);
    w.WriteFile("f", file);
    EXPECT_EQ(Bytes(out), "--" + B + "\r\n"
                          "Content-Disposition: form-data; name=\"f\"; filename=\"" + file + "\"\r\n"
                          "Content-type: text/plain\r\n"
                          "\r\n"
                          "\r\n");
}

TEST_F(MultipartTest, EmptyContentTypeWritesNoContentTypeLine)
{
    TMemoryStream source;
    source.WriteBuffer("xy", 2);
    source.SetPosition(0);
    TMultipartFormDataWriter w(&out);
    w.WriteFile("f", &source, "a.b", "");
    EXPECT_EQ(Bytes(out), "--" + B + "\r\n"
                          "Content-Disposition: form-data; name=\"f\"; filename=\"a.b\"\r\n"
                          "\r\n"
                          "xy\r\n");
}

TEST_F(MultipartTest, StarContentTypeIsWrittenAsIs)
{
    TMemoryStream source;
    TMultipartFormDataWriter w(&out);
    w.WriteFile("f", &source, "a", "*");
    EXPECT_EQ(Bytes(out), "--" + B + "\r\n"
                          "Content-Disposition: form-data; name=\"f\"; filename=\"a\"\r\n"
                          "Content-type: *\r\n"
                          "\r\n"
                          "\r\n");
}

TEST_F(MultipartTest, FileByNameWithoutKnownExtensionGetsStarType)
{
    const std::string noExtension = dir.Write("README", "r");
    const std::string unknown = dir.Write("data.kivolunknownext", "u");
    TMultipartFormDataWriter w(&out);
    w.WriteFile("a", noExtension);
    w.WriteFile("b", unknown);
    EXPECT_EQ(Bytes(out), "--" + B + "\r\n"
                          "Content-Disposition: form-data; name=\"a\"; filename=\"" + noExtension + "\"\r\n"
                          "Content-type: *\r\n"
                          "\r\n"
                          "r\r\n"
                          "--" + B + "\r\n"
                          "Content-Disposition: form-data; name=\"b\"; filename=\"" + unknown + "\"\r\n"
                          "Content-type: *\r\n"
                          "\r\n"
                          "u\r\n");
}

TEST_F(MultipartTest, WriteFooterTwiceWritesTheClosingLineTwice)
{
    TMultipartFormDataWriter w(&out);
    w.WriteFooter();
    w.WriteFooter();
    EXPECT_EQ(Bytes(out), "--" + B + "--\r\n--" + B + "--\r\n");
}

TEST_F(MultipartTest, WriteValueWithAnEmptyValueEndsInTwoEmptyLines)
{
    TMultipartFormDataWriter w(&out);
    w.WriteValue("name", "");
    EXPECT_EQ(Bytes(out), "--" + B + "\r\nContent-Disposition: form-data; name=\"name\"\r\n\r\n\r\n");
}

TEST_F(MultipartTest, TextsGoOutUnquotedAndUnchecked)
{
    TMultipartFormDataWriter w(&out);
    w.WriteValue("a\"b", "x\r\ny");
    EXPECT_EQ(Bytes(out), "--" + B + "\r\nContent-Disposition: form-data; name=\"a\"b\"\r\n\r\nx\r\ny\r\n");
}

TEST_F(MultipartTest, EachHeaderLineIsOneWriteOfTextAndOneOfLineEnd)
{
    RecordingStream rec;
    TMemoryStream source;
    source.WriteBuffer("data", 4);
    source.SetPosition(0);
    TMultipartFormDataWriter w(&rec);
    w.WriteValue("n", "v");
    w.WriteFile("f", &source, "x.bin", "t/t");
    w.WriteFooter();
    const std::vector<std::string> expected = {
        "--" + B, "\r\n", "Content-Disposition: form-data; name=\"n\"", "\r\n", "\r\n", "v", "\r\n",
        "--" + B, "\r\n", "Content-Disposition: form-data; name=\"f\"; filename=\"x.bin\"", "\r\n",
        "Content-type: t/t", "\r\n", "\r\n", "data", "\r\n",
        "--" + B + "--", "\r\n",
    };
    EXPECT_EQ(rec.writes, expected);
}

TEST_F(MultipartTest, LargeFileIsCopiedInBoundedChunks)
{
    std::string content(3 * TStream::CopyChunk + 123, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7 + i / 251);
    const std::string file = dir.Write("big.bin", content);
    RecordingStream rec;
    TMultipartFormDataWriter w(&rec);
    w.WriteFile("f", file);

    std::size_t largest = 0;
    for (const auto& piece : rec.writes)
        largest = std::max(largest, piece.size());
    EXPECT_EQ(largest, static_cast<std::size_t>(TStream::CopyChunk));
    const std::string header = "--" + B + "\r\nContent-Disposition: form-data; name=\"f\"; filename=\"" + file +
                               "\"\r\nContent-type: application/octet-stream\r\n\r\n";
    EXPECT_EQ(Bytes(rec), header + content + "\r\n");
}

TEST_F(MultipartTest, ContentStreamNotAtItsStartRaisesAfterTheHeaders)
{
    TMemoryStream source;
    source.WriteBuffer("abcdef", 6);
    source.SetPosition(2);
    TMultipartFormDataWriter w(&out);
    EXPECT_THROW(w.WriteFile("f", &source, "s", "t/t"), EReadError);
    EXPECT_EQ(Bytes(out), "--" + B + "\r\nContent-Disposition: form-data; name=\"f\"; filename=\"s\"\r\n"
                          "Content-type: t/t\r\n\r\n");
}

TEST_F(MultipartTest, InheritedWriterOperationsGoToTheSameStream)
{
    TMultipartFormDataWriter w(&out);
    w.WriteString("raw");
    w.WriteUShort(0x1234);
    w << AnsiString("line");
    EXPECT_EQ(Bytes(out), "raw\x34\x12line\r\n");
}
