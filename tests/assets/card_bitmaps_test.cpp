#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <vector>

namespace {

constexpr int CardCount = 54;

QString CardFile(int card)
{
    return QStringLiteral(KIVOL_ASSET_DIR "/%1.bmp").arg(card, 2, 10, QLatin1Char('0'));
}

bool HasRedInk(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 150 && c.green() < 100 && c.blue() < 110)
                return true;
        }
    return false;
}

class CardBitmaps : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        for (int card = 1; card <= CardCount; ++card)
            cards_.emplace_back(CardFile(card), "BMP");
    }
    static void TearDownTestSuite() { cards_.clear(); }

    static const QImage& Card(int card) { return cards_[static_cast<std::size_t>(card - 1)]; }

    static std::vector<QImage> cards_;
};

std::vector<QImage> CardBitmaps::cards_;

}  // namespace

TEST_F(CardBitmaps, EveryCardIsA24BitBitmapOfTheSlotSize)
{
    for (int card = 1; card <= CardCount; ++card) {
        ASSERT_FALSE(Card(card).isNull()) << CardFile(card).toStdString();
        EXPECT_EQ(Card(card).size(), QSize(89, 129)) << card;

        QFile file(CardFile(card));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray header = file.read(30);
        ASSERT_EQ(header.size(), 30);
        EXPECT_EQ(header.left(2), "BM");
        EXPECT_EQ(static_cast<unsigned char>(header[28]) | static_cast<unsigned char>(header[29]) << 8, 24) << card;
    }
}

TEST_F(CardBitmaps, AllCardsDifferIncludingTheTwoJokers)
{
    for (int a = 1; a <= CardCount; ++a)
        for (int b = a + 1; b <= CardCount; ++b)
            EXPECT_NE(Card(a), Card(b)) << a << " and " << b;
}

TEST_F(CardBitmaps, HeartsDiamondsAndTheFirstJokerAreRedTheOthersBlack)
{
    for (int card = 1; card <= CardCount; ++card) {
        const bool red = (card >= 14 && card <= 39) || card == 53;
        EXPECT_EQ(HasRedInk(Card(card)), red) << card;
    }
}
