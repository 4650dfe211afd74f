#pragma once

#include <QByteArray>
#include <utility>
#include <vector>

// One HTTP answer as the web port writes it: status, headers, body. The
// writer adds Content-Length and leaves the body out for HEAD.
struct THttpAnswer {
    int Status = 200;
    std::vector<std::pair<QByteArray, QByteArray>> Headers;
    QByteArray Body;
};

// An answer with the headers every answer of the web port carries (no script
// or content from another site, no guessing of types, no referrer), a
// Content-Type and, unless the caller sets one, "Cache-Control: no-cache".
THttpAnswer MakeAnswer(int status, const QByteArray& contentType, QByteArray body);

// A short plain-text answer for an error status ("Not Found" and the like).
THttpAnswer ErrorAnswer(int status);

// Replaces a header's value, or adds the header.
void SetHeader(THttpAnswer& answer, const QByteArray& name, const QByteArray& value);
