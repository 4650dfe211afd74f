#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "records/json_text.h"

using Records::TJsonText;

TEST(JsonTextTest, EscapesWhatCouldBreakTheTextOrAPageAndReplacesBrokenBytes)
{
    TJsonText json;
    json.BeginObject()
        .Key("a\"b")
        .String("<b>&\u2028\u2029\x7f\x1f\\\n")
        .Key("broken")
        .String("\xff\xfe ok")
        .Key("list")
        .BeginArray()
        .Number(std::int64_t{-3})
        .Number(1464.0507, 2)
        .Null()
        .Bool(false)
        .EndArray()
        .EndObject();
    EXPECT_EQ(json.Text(), "{\"a\\\"b\":\"\\u003cb\\u003e\\u0026\\u2028\\u2029\\u007f\\u001f\\\\\\n\","
                           "\"broken\":\"\xef\xbf\xbd\xef\xbf\xbd ok\",\"list\":[-3,1464.05,null,false]}");
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(json.Text()), &error).object();
    EXPECT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_EQ(object.value(u"a\"b").toString(), QString::fromUtf8("<b>&\u2028\u2029\x7f\x1f\\\n"));
}
