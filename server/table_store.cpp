#include "server/table_store.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <set>

#include "platform/atomic_file.h"
#include "platform/cp932.h"
#include "protocol/tables.h"
#include "table/card_pile.h"
#include "server/game_server.h"
#include "table/game_table.h"
#include "server/state_directory.h"

namespace {

constexpr int FileVersion = 1;
constexpr int Sha256HexLength = 64;

// A Shift-JIS text as JSON: a string when it decodes and encodes back to the
// same bytes, else {"hex": "..."} so that any byte survives the restart.
QJsonValue TextValue(const AnsiString& bytes)
{
    const QString text = Cp932::Decode(bytes);
    if (Cp932::Encode(text) == bytes)
        return text;
    return QJsonObject{{QStringLiteral("hex"), QString::fromLatin1(QByteArray::fromStdString(bytes).toHex())}};
}

std::optional<AnsiString> ReadText(const QJsonValue& value)
{
    if (value.isString())
        return Cp932::Encode(value.toString());
    const QJsonValue hex = value.toObject().value(u"hex");
    if (!value.isObject() || !hex.isString())
        return std::nullopt;
    const QByteArray digits = hex.toString().toLatin1();
    const auto decoded = QByteArray::fromHex(digits);
    if (decoded.toHex() != digits.toLower())
        return std::nullopt;
    return decoded.toStdString();
}

QJsonArray CardsValue(const int* cards, int count)
{
    QJsonArray array;
    for (int i = 0; i < count; ++i)
        array.append(cards[i]);
    return array;
}

std::optional<std::vector<int>> ReadCards(const QJsonValue& value)
{
    if (!value.isArray())
        return std::nullopt;
    std::vector<int> cards;
    for (const QJsonValue& card : value.toArray()) {
        const int number = card.toInt(0);
        if (!card.isDouble() || card.toDouble() != number || number < 1 || number > TCardPile::Capacity)
            return std::nullopt;
        cards.push_back(number);
    }
    return cards;
}

std::optional<std::vector<AnsiString>> ReadTexts(const QJsonValue& value)
{
    if (!value.isArray())
        return std::nullopt;
    std::vector<AnsiString> texts;
    for (const QJsonValue& item : value.toArray()) {
        const auto text = ReadText(item);
        if (!text)
            return std::nullopt;
        texts.push_back(*text);
    }
    return texts;
}

QJsonObject RecordingObject(const TGameRecorder::TSaved& recording)
{
    const Records::TGameRecord& record = recording.Record;
    QJsonArray events;
    for (const Records::TGameEvent& event : record.Events)
        events.append(QJsonObject{{QStringLiteral("ms"), static_cast<qint64>(event.Ms)},
                                  {QStringLiteral("kind"), QString::fromUtf8(Records::EventKindWord(event.Kind))},
                                  {QStringLiteral("player"), TextValue(event.Player)},
                                  {QStringLiteral("number"), event.Number},
                                  {QStringLiteral("flag"), event.Flag},
                                  {QStringLiteral("text"), TextValue(event.Text)}});
    QJsonArray fieldDeals;
    for (const std::size_t index : recording.FieldDeals)
        fieldDeals.append(static_cast<qint64>(index));
    QJsonArray seats;
    for (const auto& [name, seat] : recording.Seats)
        seats.append(QJsonObject{{QStringLiteral("name"), TextValue(name)}, {QStringLiteral("seat"), seat}});
    const Records::TGameFields& fields = record.Fields;
    return QJsonObject{
        {QStringLiteral("table"), TextValue(record.Table)},
        {QStringLiteral("host"), TextValue(record.Host)},
        {QStringLiteral("start_ms"), static_cast<qint64>(Records::MillisecondsOf(record.Start))},
        {QStringLiteral("fields"), QJsonArray{fields.Target ? QJsonValue(*fields.Target) : QJsonValue(),
                                              fields.PaceSeconds, fields.AnswerSeconds, fields.Bots, fields.BotLevel}},
        {QStringLiteral("target"), recording.Target ? QJsonValue(*recording.Target) : QJsonValue()},
        {QStringLiteral("field_deals"), fieldDeals},
        {QStringLiteral("seats"), seats},
        {QStringLiteral("events"), events}};
}

bool IsInteger(const QJsonValue& value)
{
    return value.isDouble() && value.toDouble() == static_cast<double>(value.toInteger());
}

std::optional<int> ReadOptionalInteger(const QJsonValue& value, bool& ok)
{
    if (value.isNull())
        return std::nullopt;
    ok = ok && IsInteger(value);
    return value.toInt();
}

QString ReadRecording(const QJsonValue& value, TGameRecorder::TSaved& recording)
{
    const QString wrong = QStringLiteral("\"game\".\"record\" is not a game's record");
    const QJsonObject object = value.toObject();
    const auto table = ReadText(object.value(u"table"));
    const auto host = ReadText(object.value(u"host"));
    const QJsonArray fields = object.value(u"fields").toArray();
    bool ok = value.isObject() && table && host && IsInteger(object.value(u"start_ms")) && fields.size() == 5 &&
              object.value(u"field_deals").isArray() && object.value(u"seats").isArray() &&
              object.value(u"events").isArray();
    if (!ok)
        return wrong;
    Records::TGameRecord& record = recording.Record;
    record.Table = *table;
    record.Host = *host;
    record.Start = Records::TimeOfMilliseconds(object.value(u"start_ms").toInteger());
    record.Fields.Target = ReadOptionalInteger(fields[0], ok);
    for (int i = 1; i < 5; ++i)
        ok = ok && IsInteger(fields[i]);
    record.Fields.PaceSeconds = fields[1].toInt();
    record.Fields.AnswerSeconds = fields[2].toInt();
    record.Fields.Bots = fields[3].toInt();
    record.Fields.BotLevel = fields[4].toInt();
    recording.Target = ReadOptionalInteger(object.value(u"target"), ok);
    for (const QJsonValue& event : object.value(u"events").toArray()) {
        const QJsonObject e = event.toObject();
        const auto kind = Records::EventKindFromWord(e.value(u"kind").toString().toStdString());
        const auto player = ReadText(e.value(u"player"));
        const auto text = ReadText(e.value(u"text"));
        if (!kind || !player || !text || !IsInteger(e.value(u"ms")) || !IsInteger(e.value(u"number")) ||
            !e.value(u"flag").isBool())
            return wrong;
        record.Events.push_back({e.value(u"ms").toInteger(), *kind, *player, e.value(u"number").toInt(),
                                 e.value(u"flag").toBool(), *text});
    }
    for (const QJsonValue& index : object.value(u"field_deals").toArray()) {
        ok = ok && IsInteger(index) && index.toInteger() >= 0 &&
             index.toInteger() < static_cast<qint64>(record.Events.size());
        recording.FieldDeals.push_back(static_cast<std::size_t>(index.toInteger()));
    }
    for (const QJsonValue& seat : object.value(u"seats").toArray()) {
        const auto name = ReadText(seat.toObject().value(u"name"));
        const QJsonValue number = seat.toObject().value(u"seat");
        ok = ok && name && IsInteger(number) && number.toInt() >= 0 && number.toInt() < TTableRecord::SeatCount;
        recording.Seats.emplace_back(name.value_or(AnsiString()), number.toInt());
    }
    return ok ? QString() : wrong;
}

// A running game; with its record so far when one is kept.
QJsonObject GameObject(const Dealer::TSavedGame& game, const std::optional<TGameRecorder::TSaved>& recording)
{
    QJsonArray penalised;
    for (const AnsiString& name : game.Penalised)
        penalised.append(TextValue(name));
    QJsonArray players;
    for (const AnsiString& name : game.Players)
        players.append(TextValue(name));
    QJsonArray bots;
    for (const auto& [name, level] : game.Bots)
        bots.append(QJsonObject{{QStringLiteral("name"), TextValue(name)}, {QStringLiteral("level"), level}});
    QJsonObject object{{QStringLiteral("fields"), QString::fromStdString(Dealer::GameOptionsText(game.Options))},
                       {QStringLiteral("bots"), bots},
                       {QStringLiteral("host"), TextValue(game.Host)},
                       {QStringLiteral("round"), game.Round},
                       {QStringLiteral("phase"), game.Phase},
                       {QStringLiteral("wake_in_ms"), static_cast<qint64>(game.WakeInMs)},
                       {QStringLiteral("hitter"), TextValue(game.Hitter)},
                       {QStringLiteral("penalised"), penalised},
                       {QStringLiteral("players"), players}};
    if (recording)
        object.insert(QStringLiteral("record"), RecordingObject(*recording));
    return object;
}

QString ReadGame(const QJsonValue& value, Dealer::TSavedGame& game)
{
    const QJsonObject object = value.toObject();
    const auto options = Dealer::ReadGameOptions(object.value(u"fields").toString().toStdString());
    const auto host = ReadText(object.value(u"host"));
    const auto hitter = ReadText(object.value(u"hitter"));
    const auto penalised = ReadTexts(object.value(u"penalised"));
    const auto players = ReadTexts(object.value(u"players"));
    if (!value.isObject() || !std::holds_alternative<Dealer::TGameOptions>(options) || !host || !hitter ||
        !penalised || !players || !object.value(u"round").isDouble() || !object.value(u"phase").isDouble() ||
        !object.value(u"wake_in_ms").isDouble())
        return QStringLiteral("\"game\" is not a saved game");
    game.Options = std::get<Dealer::TGameOptions>(options);
    game.Host = *host;
    game.Round = object.value(u"round").toInt();
    game.Phase = object.value(u"phase").toInt();
    game.WakeInMs = static_cast<long long>(object.value(u"wake_in_ms").toDouble());
    game.Hitter = *hitter;
    game.Penalised = *penalised;
    game.Players = *players;
    for (const QJsonValue& bot : object.value(u"bots").toArray()) {
        const auto name = ReadText(bot.toObject().value(u"name"));
        const int level = bot.toObject().value(u"level").toInt();
        if (!name || level < 1 || level > 5)
            return QStringLiteral("\"bots\" holds no name and level 1-5");
        game.Bots.emplace_back(*name, level);
    }
    return {};
}

QJsonObject TableObject(const TSavedTable& table)
{
    QJsonArray hands;
    QJsonArray seats;
    for (int s = 0; s < TTableRecord::SeatCount; ++s) {
        const auto& hand = table.Hands[static_cast<std::size_t>(s)];
        hands.append(CardsValue(hand.data(), static_cast<int>(hand.size())));
        seats.append(TextValue(table.Record.Occupants[static_cast<std::size_t>(s)]));
    }
    QJsonArray drawers;
    for (const AnsiString& drawer : table.Record.Drawers)
        drawers.append(TextValue(drawer));
    QJsonArray roster;
    for (const TSavedTable::TEntry& entry : table.Entries)
        roster.append(QJsonObject{{QStringLiteral("name"), TextValue(entry.Name)},
                                  {QStringLiteral("token_sha256"), QString::fromStdString(entry.TokenHash)},
                                  {QStringLiteral("away"), entry.Away}});
    return QJsonObject{
        {QStringLiteral("name"), TextValue(table.Name)},
        {QStringLiteral("key"), table.Key ? QJsonValue(QString::fromStdString(*table.Key)) : QJsonValue()},
        {QStringLiteral("game_started"), table.Record.GameStarted},
        {QStringLiteral("deck"), CardsValue(table.Deck.data(), static_cast<int>(table.Deck.size()))},
        {QStringLiteral("field"), CardsValue(table.Field.data(), static_cast<int>(table.Field.size()))},
        {QStringLiteral("drawers"), drawers},
        {QStringLiteral("hands"), hands},
        {QStringLiteral("seats"), seats},
        {QStringLiteral("set"), TextValue(table.Record.SetText)},
        {QStringLiteral("roster"), roster},
        {QStringLiteral("game"), table.Game ? QJsonValue(GameObject(*table.Game, table.Recording)) : QJsonValue()}};
}

bool IsTokenHash(const QString& text)
{
    if (text.size() != Sha256HexLength)
        return false;
    for (const QChar c : text)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return false;
    return true;
}

QString ReadEntry(const QJsonValue& value, TSavedTable::TEntry& entry)
{
    const QJsonObject object = value.toObject();
    const auto name = ReadText(object.value(u"name"));
    const QJsonValue hash = object.value(u"token_sha256");
    if (!value.isObject() || !name || name->empty())
        return QStringLiteral("a roster entry without a name");
    if (!hash.isString() || (!hash.toString().isEmpty() && !IsTokenHash(hash.toString())))
        return QStringLiteral("\"token_sha256\" is not empty or 64 hex digits");
    entry.Name = *name;
    entry.TokenHash = hash.toString().toStdString();
    entry.Away = object.value(u"away").toBool();
    return {};
}

QString ReadTable(const QJsonObject& object, TSavedTable& table)
{
    const auto name = ReadText(object.value(u"name"));
    if (!name || (!name->empty() && !Protocol::Tables::IsTableName(*name)))
        return QStringLiteral("\"name\" is not a table name");
    table.Name = *name;
    const QJsonValue key = object.value(u"key");
    if (key.isString() && Protocol::Tables::IsTableKey(key.toString().toStdString()) && !name->empty())
        table.Key = key.toString().toStdString();
    else if (!key.isNull() && !key.isUndefined())
        return QStringLiteral("\"key\" is not a table key");

    const auto deck = ReadCards(object.value(u"deck"));
    const auto field = ReadCards(object.value(u"field"));
    const QJsonArray hands = object.value(u"hands").toArray();
    const auto seats = ReadTexts(object.value(u"seats"));
    if (!deck || !field || hands.size() != TTableRecord::SeatCount || !seats ||
        seats->size() != TTableRecord::SeatCount)
        return QStringLiteral("\"deck\", \"field\", \"hands\" or \"seats\" is missing or wrong");
    table.Deck = *deck;
    table.Field = *field;
    std::multiset<int> cards(deck->begin(), deck->end());
    cards.insert(field->begin(), field->end());
    for (int s = 0; s < TTableRecord::SeatCount; ++s) {
        const auto hand = ReadCards(hands.at(s));
        if (!hand)
            return QStringLiteral("hand %1 is not a list of cards").arg(s);
        table.Hands[static_cast<std::size_t>(s)] = *hand;
        cards.insert(hand->begin(), hand->end());
        table.Record.Occupants[static_cast<std::size_t>(s)] = (*seats)[static_cast<std::size_t>(s)];
    }
    if (cards.size() != TCardPile::Capacity || std::set<int>(cards.begin(), cards.end()).size() != cards.size())
        return QStringLiteral("the piles do not hold the 54 cards once each");

    const auto drawers = ReadTexts(object.value(u"drawers"));
    const auto set = ReadText(object.value(u"set"));
    if (!drawers || !set || !object.value(u"game_started").isBool())
        return QStringLiteral("\"drawers\", \"set\" or \"game_started\" is missing or wrong");
    table.Record.Drawers = *drawers;
    table.Record.SetText = *set;
    table.Record.GameStarted = object.value(u"game_started").toBool();

    const QJsonArray roster = object.value(u"roster").toArray();
    if (!object.value(u"roster").isArray() || roster.size() > TGameTable::MaxRosterEntries)
        return QStringLiteral("\"roster\" is not a list of at most %1 entries").arg(TGameTable::MaxRosterEntries);
    for (const QJsonValue& value : roster) {
        TSavedTable::TEntry entry;
        if (const QString problem = ReadEntry(value, entry); !problem.isEmpty())
            return problem;
        table.Entries.push_back(std::move(entry));
    }
    // Files written before dealt games have no "game".
    const QJsonValue game = object.value(u"game");
    if (!game.isUndefined() && !game.isNull()) {
        Dealer::TSavedGame saved;
        if (const QString problem = ReadGame(game, saved); !problem.isEmpty())
            return problem;
        table.Game = std::move(saved);
        // Files written before records have no "record".
        if (const QJsonValue record = game.toObject().value(u"record"); !record.isUndefined()) {
            TGameRecorder::TSaved recording;
            if (const QString problem = ReadRecording(record, recording); !problem.isEmpty())
                return problem;
            table.Recording = std::move(recording);
        }
    }
    return {};
}

void FillPile(TCardPile& pile, const std::vector<int>& cards)
{
    pile.Clear();
    for (int card : cards)
        pile.Push(card);
}

}  // namespace

QByteArray TablesFileBytes(const std::vector<TSavedTable>& tables)
{
    QJsonArray array;
    for (const TSavedTable& table : tables)
        array.append(TableObject(table));
    return QJsonDocument(QJsonObject{{QStringLiteral("version"), FileVersion}, {QStringLiteral("tables"), array}})
        .toJson(QJsonDocument::Indented);
}

QString ReadTablesFile(const QByteArray& bytes, std::vector<TSavedTable>& tables)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("not JSON at byte %1: %2").arg(error.offset).arg(error.errorString());
    const QJsonObject root = document.object();
    if (root.value(u"version").toInt() != FileVersion || !root.value(u"tables").isArray())
        return QStringLiteral("no object of version %1 with a \"tables\" list").arg(FileVersion);
    std::vector<TSavedTable> read;
    std::set<AnsiString> names;
    for (const QJsonValue& value : root.value(u"tables").toArray()) {
        TSavedTable table;
        const QString problem = value.isObject() ? ReadTable(value.toObject(), table) : QStringLiteral("not an object");
        if (!problem.isEmpty())
            return QStringLiteral("table %1: %2").arg(read.size() + 1).arg(problem);
        if (!names.insert(Protocol::Tables::TableNameKey(table.Name)).second)
            return QStringLiteral("table %1: its name appears twice").arg(read.size() + 1);
        read.push_back(std::move(table));
    }
    tables = std::move(read);
    return {};
}

std::vector<TSavedTable> SaveTables(TGameServer& server)
{
    std::vector<TSavedTable> saved;
    for (const TGameTable* table : server.Tables()) {
        // A table of watchers only would come back empty: it is not kept.
        if (!table->IsMain() && table->Roster.Count() == 0)
            continue;
        TSavedTable& out = saved.emplace_back();
        out.Name = table->Name();
        out.Key = table->Key;
        out.Deck.assign(table->Yamafuda.Cards, table->Yamafuda.Cards + table->Yamafuda.Count);
        out.Field.assign(table->Bafuda.Cards, table->Bafuda.Cards + table->Bafuda.Count);
        for (int s = 0; s < TTableRecord::SeatCount; ++s)
            out.Hands[static_cast<std::size_t>(s)].assign(table->Tefuda[s].Cards,
                                                          table->Tefuda[s].Cards + table->Tefuda[s].Count);
        out.Record = table->Table;
        for (const TRosterEntry& entry : table->Roster.Entries())
            out.Entries.push_back({entry.Name, entry.TokenHash, entry.Away});
        if (table->Game().Running()) {
            out.Game = table->Game().Save(server.Now());
            if (table->Recorder().Recording())
                out.Recording = table->Recorder().Save();
        }
    }
    return saved;
}

void RestoreTables(TGameServer& server, const std::vector<TSavedTable>& tables)
{
    for (const TSavedTable& saved : tables) {
        if (!saved.Name.empty() && saved.Entries.empty())
            continue;
        TGameTable& table = server.RestoredTable(saved.Name);
        table.Key = saved.Key;
        FillPile(table.Yamafuda, saved.Deck);
        FillPile(table.Bafuda, saved.Field);
        for (int s = 0; s < TTableRecord::SeatCount; ++s)
            FillPile(table.Tefuda[s], saved.Hands[static_cast<std::size_t>(s)]);
        table.Table = saved.Record;
        for (const TSavedTable::TEntry& entry : saved.Entries)
            table.AddAwayEntry(entry.Name, entry.TokenHash);
        if (saved.Game)
            table.RestoreGame(*saved.Game, saved.Recording);
    }
}

QString TablesFilePath(const QString& stateDirectory)
{
    return QDir(stateDirectory).filePath(QStringLiteral("tables.json"));
}

QString WriteTablesFile(TGameServer& server, const QString& path)
{
    if (const QString problem = MakeStateDirectory(QFileInfo(path).absolutePath()); !problem.isEmpty())
        return problem;
    return WriteFileAtomically(path, TablesFileBytes(SaveTables(server)));
}

void LoadTablesFile(TGameServer& server, const QString& path, const std::function<void(const QString& line)>& log)
{
    QFile file(path);
    if (!file.exists())
        return;
    std::vector<TSavedTable> tables;
    QString problem = file.open(QIODevice::ReadOnly) ? ReadTablesFile(file.readAll(), tables) : file.errorString();
    file.close();
    if (!problem.isEmpty()) {
        // A broken save never blocks a start: it is kept for a look, and the
        // server starts with empty tables.
        const QString aside =
            path + QStringLiteral(".unreadable-") +
            QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
        const bool moved = QFile::rename(path, aside);
        log(QStringLiteral("%1 cannot be read (%2); %3, starting with empty tables")
                .arg(path, problem, moved ? QStringLiteral("kept as ") + aside : QStringLiteral("left in place")));
        return;
    }
    RestoreTables(server, tables);
    int entries = 0;
    for (const TSavedTable& table : tables)
        entries += static_cast<int>(table.Entries.size());
    const bool removed = QFile::remove(path);
    log(QStringLiteral("%1 tables with %2 players restored from %3%4")
            .arg(tables.size())
            .arg(entries)
            .arg(path, removed ? QString() : QStringLiteral(" (the file could not be removed)")));
}
