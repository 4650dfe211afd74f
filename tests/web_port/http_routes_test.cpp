#include <QFile>
#include <zlib.h>

#include "platform/cp932.h"
#include "web_port_fixture.h"

namespace test {
namespace {

using Routes = WebPortTest;

std::string Gunzip(const std::string& compressed)
{
    z_stream stream{};
    EXPECT_EQ(inflateInit2(&stream, 15 + 16), Z_OK);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
    stream.avail_in = static_cast<uInt>(compressed.size());
    std::string out;
    char buffer[4096];
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        result = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - stream.avail_out);
    }
    EXPECT_EQ(result, Z_STREAM_END);
    inflateEnd(&stream);
    return out;
}

// Every route's status and content, and the headers every answer carries.
TEST_F(Routes, AnswerEachPathWithItsContentAndTheSecurityHeaders)
{
    tables = {{3, 2, 0, true, ""}, {1, 1, 2, false, Cp932::FromUtf8("金曜～")}};
    StartPort();
    struct Case {
        std::string method, path;
        int status;
        std::string type, cache, body;
    };
    const std::vector<Case> cases = {
        {"GET", "/", 200, "text/html; charset=utf-8", "no-cache", "<!doctype html><title>Kivol</title>"},
        {"GET", "/t/%E9%87%91%E6%9B%9C", 200, "text/html; charset=utf-8", "no-cache", "<!doctype html><title>Kivol</title>"},
        {"GET", "/assets/app.3f9a1c2b.js", 200, "text/javascript; charset=utf-8",
         "public, max-age=31536000, immutable", "console.log(1);"},
        {"GET", "/assets/icons/logo.png", 200, "image/png", "no-cache", "\x89PNG"},
        {"GET", "/api/tables", 200, "application/json", "no-cache",
         R"([{"game":true,"name":"","players":3,"seated":2,"watchers":0},)"
         R"({"game":false,"name":"金曜～","players":1,"seated":1,"watchers":2}])"},
        {"GET", "/healthz", 200, "text/plain; charset=utf-8", "no-cache", "ok"},
        {"HEAD", "/assets/app.3f9a1c2b.js", 200, "text/javascript; charset=utf-8",
         "public, max-age=31536000, immutable", ""},
        {"GET", "/nothing", 404, "text/plain; charset=utf-8", "no-cache", "Not Found\n"},
        {"GET", "/t/", 404, "text/plain; charset=utf-8", "no-cache", "Not Found\n"},
        {"GET", "/metrics", 404, "text/plain; charset=utf-8", "no-cache", "Not Found\n"},
        {"POST", "/", 405, "text/plain; charset=utf-8", "no-cache", "Method Not Allowed\n"},
        {"DELETE", "/api/tables", 405, "text/plain; charset=utf-8", "no-cache", "Method Not Allowed\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method + " " + c.path);
        HttpResponse response = Get(c.path, c.method);
        EXPECT_EQ(response.status, c.status);
        EXPECT_EQ(response.headers["content-type"], c.type);
        EXPECT_EQ(response.headers["cache-control"], c.cache);
        EXPECT_EQ(response.body, c.body);
        EXPECT_EQ(response.headers["content-security-policy"], "default-src 'self'");
        EXPECT_EQ(response.headers["x-content-type-options"], "nosniff");
        EXPECT_EQ(response.headers["referrer-policy"], "no-referrer");
        if (c.method == "HEAD") {
            EXPECT_EQ(response.headers["content-length"], "15");
        }
    }
}

// No spelling of a path reaches a file outside the web root, nor the root's
// own files by a detour.
TEST_F(Routes, RefuseEveryPathThatLeavesTheRoot)
{
    StartPort();
    for (const std::string path : {
             "/assets/../index.html", "/assets/../../secret.txt", "/assets/%2e%2e/%2e%2e/secret.txt",
             "/assets/..%2f..%2fsecret.txt", "/assets/%2E%2E%2F%2E%2E%2Fsecret.txt", "/assets/out.txt",
             "/assets/icons%2flogo.png", "/assets/.%2e/index.html", "/assets/..\\..\\secret.txt",
             "/assets/%00", "/assets//icons/logo.png", "/assets/", "/assets/icons",
         }) {
        SCOPED_TRACE(path);
        const HttpResponse response = Get(path);
        EXPECT_EQ(response.status, 404);
        EXPECT_EQ(response.body.find("secret"), std::string::npos);
    }
}

// Text answers go out gzip-compressed to a client that accepts gzip, and
// every text answer says that it varies by that; pictures go out as they are.
TEST_F(Routes, CompressTextAnswersForClientsThatAcceptGzip)
{
    std::string script;
    for (int i = 0; i < 200; ++i)
        script += "console.log(" + std::to_string(i) + ");\n";
    {
        QFile file(root + "/assets/big.0123456789.js");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(script.data(), static_cast<qint64>(script.size()));
    }
    StartPort();
    const auto get = [&](const std::string& path, const std::string& accept) {
        return Request("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                       (accept.empty() ? "" : "Accept-Encoding: " + accept + "\r\n") + "\r\n");
    };
    for (const std::string accept : {"gzip", "br, gzip;q=0.8", "deflate, *"}) {
        SCOPED_TRACE(accept);
        HttpResponse compressed = get("/assets/big.0123456789.js", accept);
        EXPECT_EQ(compressed.headers["content-encoding"], "gzip");
        EXPECT_EQ(compressed.headers["vary"], "Accept-Encoding");
        EXPECT_LT(compressed.body.size(), script.size() / 3);
        EXPECT_EQ(Gunzip(compressed.body), script);
    }
    for (const std::string accept : {"", "identity", "gzip;q=0", "br, gzip;q=0.0"}) {
        SCOPED_TRACE(accept);
        HttpResponse plain = get("/assets/big.0123456789.js", accept);
        EXPECT_EQ(plain.headers.count("content-encoding"), 0u);
        EXPECT_EQ(plain.headers["vary"], "Accept-Encoding");
        EXPECT_EQ(plain.body, script);
    }
    HttpResponse picture = get("/assets/icons/logo.png", "gzip");
    EXPECT_EQ(picture.headers.count("content-encoding"), 0u);
    EXPECT_EQ(picture.headers.count("vary"), 0u);
    EXPECT_EQ(picture.body, "\x89PNG");
}

}  // namespace
}  // namespace test
