#include "control/control_message.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Control {

namespace {

QByteArray Line(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<QJsonObject> ReadObject(const QByteArray& line)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

}  // namespace

QByteArray RequestLine(const std::vector<std::string>& arguments)
{
    QJsonArray words;
    for (const std::string& argument : arguments)
        words.append(QString::fromStdString(argument));
    return Line({{QStringLiteral("arguments"), words}});
}

std::optional<std::vector<std::string>> ReadRequestLine(const QByteArray& line)
{
    const std::optional<QJsonObject> object = ReadObject(line);
    if (!object || !object->value(u"arguments").isArray())
        return std::nullopt;
    std::vector<std::string> arguments;
    for (const QJsonValue& word : object->value(u"arguments").toArray()) {
        if (!word.isString())
            return std::nullopt;
        arguments.push_back(word.toString().toStdString());
    }
    return arguments;
}

QByteArray AnswerLine(const TControlAnswer& answer)
{
    return Line({{QStringLiteral("ok"), answer.Ok},
                 {QStringLiteral("text"), QString::fromStdString(answer.Text)},
                 {QStringLiteral("json"), answer.Json}});
}

std::optional<TControlAnswer> ReadAnswerLine(const QByteArray& line)
{
    const std::optional<QJsonObject> object = ReadObject(line);
    if (!object || !object->value(u"ok").isBool() || !object->value(u"text").isString())
        return std::nullopt;
    return TControlAnswer{object->value(u"ok").toBool(), object->value(u"text").toString().toStdString(),
                          object->value(u"json"), {}};
}

}  // namespace Control
