#pragma once

#include <QCoreApplication>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ansi_string.h"

class QSettings;

// The keys of registered names, kept in the user's settings per server and
// name: every join of a name at the server that gave its key carries it, and
// the player can show a key to take it to another device or import one from
// there. A server is kept as host:port with the host in lower case, a name as
// the server compares it (ASCII letters in lower case), so that "KENJ" and
// "kenj" at "Example.org" and "example.org:16523" share one key.
class TNameKeys {
    Q_DECLARE_TR_FUNCTIONS(TNameKeys)

public:
    // The user's settings unless a file is given (tests keep their own).
    void UseFile(const QString& path) { file_ = path; }

    // The key kept for the name (code page 932 bytes, padded or not) at the
    // server (as ServerOf gives it).
    std::optional<std::string> Key(const QString& server, std::string_view name) const;
    // False when the settings could not be written (the key is then lost
    // with the program's end).
    bool Keep(const QString& server, std::string_view name, const std::string& key);

    // The server part of an address box, as the keys are kept; defaultPort
    // when the text names none.
    static QString ServerOf(const QString& addressServer, int defaultPort);
    // A key as typed or pasted: spaces around it dropped and letters taken as
    // lower case; nothing unless it is then 32 hex digits.
    static std::optional<std::string> ReadKey(const QString& typed);
    // What the import dialog's three boxes hold, checked: the server as kept,
    // the name's bytes and the key; nothing, with the reason for the player,
    // when one of them cannot be used.
    struct TImport {
        QString Server;
        AnsiString Name;
        std::string Key;
    };
    static std::optional<TImport> ReadImport(const QString& server, int defaultPort, const QString& name,
                                             const QString& key, QString& problem);

private:
    std::unique_ptr<QSettings> Settings() const;
    static QString SettingsKey(const QString& server, std::string_view name);

    QString file_;
};

// "/namekey " padded name " " key, the server's answer to "/register": the
// name (padded) and the key; nothing for any other text or a malformed key.
struct TNameKeyCommand {
    AnsiString Name;
    std::string Key;
};
std::optional<TNameKeyCommand> ReadNameKeyCommand(std::string_view text);
