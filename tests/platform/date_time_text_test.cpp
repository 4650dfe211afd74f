#include <gtest/gtest.h>

#include <QRegularExpression>

#include "platform/date_time_text.h"

namespace {

const QDateTime Moment(QDate(2003, 5, 17), QTime(21, 4, 9));
const QDateTime Morning(QDate(2003, 5, 7), QTime(9, 4, 9));

}  // namespace

TEST(DateTimeText, JapaneseAndPosixLocalesGiveTheJapaneseForm)
{
    for (const char* name : {"ja_JP.UTF-8", "ja_JP", "C", "POSIX", "C.UTF-8", ""})
        EXPECT_EQ(DateTimeText::Format(Moment, QString::fromLatin1(name)), u"2003/05/17 21:04:09") << name;
    EXPECT_EQ(DateTimeText::Format(Morning, QStringLiteral("ja_JP.UTF-8")), u"2003/05/07 9:04:09");
}

TEST(DateTimeText, OtherLocalesStayNumericWithSecondsAndNoZone)
{
    const QRegularExpression letters(QStringLiteral("[A-Za-z]{3,}|[^\\x20-\\x7e]"));
    for (const char* name : {"en_US.UTF-8", "de_DE.UTF-8", "fr_FR", "en_GB", "zh_CN.UTF-8", "ar_EG"}) {
        const QString text = DateTimeText::Format(Moment, QString::fromLatin1(name));
        EXPECT_TRUE(text.contains(u"04:09") || text.contains(u"4:09")) << name << ": " << text.toStdString();
        EXPECT_FALSE(letters.match(text).hasMatch()) << name << ": " << text.toStdString();
        EXPECT_TRUE(text.contains(u"17") && text.contains(u"5")) << name << ": " << text.toStdString();
    }
}

TEST(DateTimeText, NowIsTheCurrentLocaleFormInShiftJis)
{
    const AnsiString now = DateTimeText::Now();
    EXPECT_GE(now.size(), 15u);
    for (char c : now)
        EXPECT_TRUE(c >= 0x20 && c < 0x7f);
}
