#include "web_port/web_routes.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "platform/cp932.h"
#include "web_port/record_routes.h"

namespace {

constexpr const char* ForGood = "public, max-age=31536000, immutable";

}  // namespace

TWebRoutes::TWebRoutes(TWebRoot root, TWebRouteHooks hooks) : root_(std::move(root)), hooks_(std::move(hooks)) {}

THttpAnswer TWebRoutes::Answer(const QByteArray& method, const QByteArray& encodedPath, const QHostAddress& peer,
                               const QByteArray& encodedQuery) const
{
    if (method != "GET" && method != "HEAD")
        return ErrorAnswer(405);
    if (encodedPath == "/")
        return FileAnswer(root_.IndexPage(), false);
    // The pages of a table, a player and a game, and the leaderboard, are the client's own.
    for (const char* page : {"/t/", "/p/", "/g/"})
        if (encodedPath.startsWith(page)) {
            const QByteArray name = encodedPath.mid(3);
            return !name.isEmpty() && !name.contains('/') ? FileAnswer(root_.IndexPage(), false) : ErrorAnswer(404);
        }
    if (encodedPath == "/leaderboard")
        return FileAnswer(root_.IndexPage(), false);
    if (hooks_.Records)
        if (std::optional<THttpAnswer> answer =
                RecordAnswer(*hooks_.Records, encodedPath, encodedQuery, std::chrono::system_clock::now()))
            return *answer;
    if (encodedPath.startsWith("/assets/")) {
        const auto file = root_.File(encodedPath.mid(1));
        return FileAnswer(file, file && TWebRoot::IsVersionedName(QFileInfo(*file).fileName()));
    }
    if (encodedPath == "/api/tables")
        return MakeAnswer(200, "application/json", TablesJson(hooks_.ListTables ? hooks_.ListTables()
                                                                                : std::vector<Protocol::Tables::TTableRow>{}));
    if (encodedPath == "/healthz") {
        const bool accepting = hooks_.AcceptingPlayers && hooks_.AcceptingPlayers();
        return MakeAnswer(accepting ? 200 : 503, "text/plain; charset=utf-8", accepting ? "ok" : "closed");
    }
    if (encodedPath == "/metrics" && hooks_.Metrics) {
        if (const auto text = hooks_.Metrics(peer))
            return MakeAnswer(200, "text/plain; version=0.0.4; charset=utf-8", *text);
    }
    return ErrorAnswer(404);
}

THttpAnswer TWebRoutes::FileAnswer(const std::optional<QString>& file, bool versioned) const
{
    if (!file)
        return ErrorAnswer(404);
    QFile content(*file);
    if (!content.open(QIODevice::ReadOnly))
        return ErrorAnswer(404);
    THttpAnswer answer = MakeAnswer(200, mimeTypes_.ContentType(*file), content.readAll());
    if (versioned)
        SetHeader(answer, "Cache-Control", ForGood);
    return answer;
}

QByteArray TWebRoutes::TablesJson(const std::vector<Protocol::Tables::TTableRow>& rows)
{
    QJsonArray list;
    for (const auto& row : rows)
        list.append(QJsonObject{
            {QStringLiteral("name"), QString::fromStdString(Cp932::ToUtf8(row.Name))},
            {QStringLiteral("players"), row.Players},
            {QStringLiteral("seated"), row.Seated},
            {QStringLiteral("watchers"), row.Watchers},
            {QStringLiteral("game"), row.Game},
        });
    return QJsonDocument(list).toJson(QJsonDocument::Compact);
}
