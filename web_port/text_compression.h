#pragma once

#include <QByteArray>

#include "web_port/http_answer.h"

// Text answers (pages, scripts, styles, JSON) go out gzip-compressed to a
// client that accepts gzip. Every text answer says "Vary: Accept-Encoding",
// so that a cache between keeps the two forms apart. Pictures and sounds are
// compressed already and go out as they are.
void CompressTextAnswer(THttpAnswer& answer, const QByteArray& acceptEncoding);

// True when the Accept-Encoding value lists gzip (or "*") without q=0.
bool AcceptsGzip(const QByteArray& acceptEncoding);

// The body in the gzip format.
QByteArray Gzip(const QByteArray& body);
