#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The folder of the browser client's files, and the rule that no request
// leaves it.
class TWebRoot {
public:
    explicit TWebRoot(QString folder);

    // The file a request path names under the folder, for a path given as
    // it came (percent-encoded, "/"-separated, below the folder): nothing
    // unless every segment decodes to a plain name ("", "." and "..", and
    // a segment holding "/", "\" or NUL are refused) and the file, after
    // following every link, is a regular file inside the folder.
    std::optional<QString> File(const QByteArray& encodedPath) const;

    // index.html, the page of every client address.
    std::optional<QString> IndexPage() const;

    // True for a name versioned by its content (a dot-separated part of at
    // least 8 hex digits, as in "app.3f9a1c2b.js"): it may be cached for good.
    static bool IsVersionedName(const QString& fileName);

private:
    QString folder_;
};
