#include "web_port/http_answer.h"

#include <QString>

THttpAnswer MakeAnswer(int status, const QByteArray& contentType, QByteArray body)
{
    THttpAnswer answer;
    answer.Status = status;
    answer.Body = std::move(body);
    answer.Headers = {
        {"Content-Type", contentType},
        {"Cache-Control", "no-cache"},
        {"Content-Security-Policy", "default-src 'self'"},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
    };
    return answer;
}

THttpAnswer ErrorAnswer(int status)
{
    QByteArray text;
    switch (status) {
    case 400: text = "Bad Request"; break;
    case 403: text = "Forbidden"; break;
    case 404: text = "Not Found"; break;
    case 405: text = "Method Not Allowed"; break;
    default: text = QByteArray::number(status); break;
    }
    THttpAnswer answer = MakeAnswer(status, "text/plain; charset=utf-8", text + '\n');
    if (status == 405)
        answer.Headers.emplace_back("Allow", "GET, HEAD");
    return answer;
}

void SetHeader(THttpAnswer& answer, const QByteArray& name, const QByteArray& value)
{
    for (auto& [key, old] : answer.Headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            old = value;
            return;
        }
    answer.Headers.emplace_back(name, value);
}
