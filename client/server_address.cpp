#include "client/server_address.h"

#include <QCoreApplication>
#include <QUrl>

#include "platform/cp932.h"
#include "protocol/tables.h"

namespace {

const QString LinkScheme = QStringLiteral("kivol");
const QString KeyFragment = QStringLiteral("key=");

// Reads "key=KEY" (after the '#' of a link or of a box text) into address;
// any other fragment is ignored, as a browser ignores one it does not know.
bool ReadKeyFragment(const QString& fragment, TServerAddress& address)
{
    if (!fragment.startsWith(KeyFragment))
        return true;
    const std::string key = fragment.mid(KeyFragment.size()).toStdString();
    if (!Protocol::Tables::IsTableKey(key))
        return false;
    address.Key = key;
    return true;
}

// The table part of a path or box text: empty names the main table.
bool ReadTablePart(const QString& part, TServerAddress& address)
{
    if (part.isEmpty())
        return true;
    address.Table = ReadTableName(part);
    return address.Table.has_value();
}

std::optional<TServerAddress> ReadLink(const QString& text, TAddressProblem& problem)
{
    const QUrl url(text, QUrl::StrictMode);
    problem = TAddressProblem::Link;
    if (!url.isValid() || url.scheme().compare(LinkScheme, Qt::CaseInsensitive) != 0 || url.host().isEmpty() ||
        !url.userInfo().isEmpty() || url.hasQuery())
        return std::nullopt;
    TServerAddress address;
    const QString host = url.host(QUrl::FullyDecoded);
    address.Server = host.contains(u':') ? u'[' + host + u']' : host;
    if (url.port() != -1)
        address.Server += u':' + QString::number(url.port());
    QString path = url.path(QUrl::FullyDecoded);
    if (path.startsWith(u'/'))
        path.remove(0, 1);
    problem = TAddressProblem::Table;
    if (!ReadTablePart(path, address))
        return std::nullopt;
    problem = TAddressProblem::Key;
    if (!ReadKeyFragment(url.fragment(QUrl::FullyDecoded), address))
        return std::nullopt;
    problem = TAddressProblem::None;
    return address;
}

}  // namespace

QString AddressProblemSentence(TAddressProblem problem)
{
    switch (problem) {
    case TAddressProblem::None: break;
    case TAddressProblem::Link:
        return QCoreApplication::translate("TServerAddress", "リンクは kivol://ホスト[:ポート]/テーブル の形にしてください");
    case TAddressProblem::Table:
        return QCoreApplication::translate("TServerAddress",
                                           "テーブル名は空白と \" , / \\ ? # % & = を含まない16文字までにしてください");
    case TAddressProblem::Key:
        return QCoreApplication::translate("TServerAddress", "鍵は空白を含まない半角英数字・記号で32文字までにしてください");
    }
    return {};
}

bool IsKivolLink(const QString& text)
{
    return text.trimmed().startsWith(LinkScheme + u':', Qt::CaseInsensitive);
}

std::optional<AnsiString> ReadTableName(const QString& name)
{
    // A character code page 932 cannot write becomes "?", which no name holds.
    AnsiString bytes = Cp932::Encode(name);
    if (!Protocol::Tables::IsTableName(bytes))
        return std::nullopt;
    return bytes;
}

std::optional<TServerAddress> ReadServerAddress(const QString& text, TAddressProblem& problem)
{
    const QString trimmed = text.trimmed();
    if (IsKivolLink(trimmed))
        return ReadLink(trimmed, problem);
    // Neither a host nor a table name holds '#' or '/': the first of each
    // ends the part before it.
    const qsizetype hash = trimmed.indexOf(u'#');
    const QString place = hash < 0 ? trimmed : trimmed.left(hash);
    const qsizetype slash = place.indexOf(u'/');
    TServerAddress address;
    address.Server = (slash < 0 ? place : place.left(slash)).trimmed();
    problem = TAddressProblem::Table;
    if (slash >= 0 && !ReadTablePart(place.mid(slash + 1), address))
        return std::nullopt;
    problem = TAddressProblem::Key;
    if (hash >= 0 && !ReadKeyFragment(trimmed.mid(hash + 1), address))
        return std::nullopt;
    problem = TAddressProblem::None;
    return address;
}

QString AddressText(const TServerAddress& address)
{
    QString text = address.Server;
    if (address.Table)
        text += u'/' + Cp932::Decode(*address.Table);
    if (address.Key)
        text += u'#' + KeyFragment + QString::fromStdString(*address.Key);
    return text;
}
