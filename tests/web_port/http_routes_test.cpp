#include "platform/cp932.h"
#include "web_port_fixture.h"

namespace test {
namespace {

using Routes = WebPortTest;

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

}  // namespace
}  // namespace test
