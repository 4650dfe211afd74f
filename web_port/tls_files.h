#pragma once

#include <QSslConfiguration>
#include <QString>
#include <optional>

// The TLS settings of a web port from the operator's PEM files: the
// certificate chain and its private key, which must belong together (a pair
// that does not would fail every player's handshake instead of here).
// Nothing, and the reason in problem, when they cannot be used.
std::optional<QSslConfiguration> ReadTlsFiles(const QString& certificateFile, const QString& keyFile,
                                              QString& problem);
