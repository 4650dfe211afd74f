#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// The browser's port unless the operator names another; 0 turns it off.
inline constexpr int DefaultWebPort = 16580;

// How the operator sets up the web port (the browser client and its WebSocket).
struct TWebPortOptions {
    int Port = DefaultWebPort;
    // The folder holding index.html and assets/.
    QString Root;
    // PEM files; both set make the port HTTPS and WSS only.
    QString TlsCertificate;
    QString TlsKey;
    // Peers whose X-Forwarded-For names the player's address.
    QStringList TrustedProxies;
    // Origins besides the page's own whose pages may open the WebSocket.
    QStringList AllowedOrigins;
};

// The installed client's folder.
inline constexpr const char* InstalledWebRoot = "/usr/share/kivol/web";

// Where the client lies when no --web-root is given: the build's "web" folder
// beside the program's "bin" folder when it exists, else the installed one.
QString DefaultWebRoot(const QString& programDirectory);

// Adds --web-port, --web-root, --tls-cert, --tls-key, --trust-proxy and
// --web-origin to a program's parser.
void AddWebPortOptions(QCommandLineParser& parser);

// Reads them back after parsing, or says why a value cannot be taken (an
// empty text when all are good). programDirectory places the default root.
QString ReadWebPortOptions(const QCommandLineParser& parser, const QString& programDirectory,
                           TWebPortOptions& options);
