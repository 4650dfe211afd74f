#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

#include "table/card_pile.h"

namespace {

std::vector<int> Entries(const TCardPile& pile)
{
    return std::vector<int>(pile.Cards, pile.Cards + pile.Count);
}

std::vector<int> Sorted(std::vector<int> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

std::vector<int> FullDeck()
{
    std::vector<int> deck(54);
    std::iota(deck.begin(), deck.end(), 1);
    return deck;
}

}  // namespace

TEST(CardPile, StartsAndResetsAsAFullShuffledDeck)
{
    TCardPile pile;
    EXPECT_EQ(Sorted(Entries(pile)), FullDeck());
    pile.Clear();
    pile.Reset();
    EXPECT_EQ(Sorted(Entries(pile)), FullDeck());
    EXPECT_NE(Entries(pile), FullDeck()) << "shuffled (one order in 54! is the identity)";
}

TEST(CardPile, PopTakesTheTopAndAnEmptyPileGives999)
{
    TCardPile pile;
    pile.Clear();
    pile.Push(7);
    pile.Push(12);
    EXPECT_EQ(pile.Pop(), 12);
    EXPECT_EQ(pile.Pop(), 7);
    EXPECT_EQ(pile.Pop(), 999);
    EXPECT_EQ(pile.Count, 0);
}

TEST(CardPile, AFullPileDropsWhatIsPushedOntoIt)
{
    TCardPile pile;
    const std::vector<int> before = Entries(pile);
    pile.Push(999);
    pile.PushAndShuffle(999);
    EXPECT_EQ(pile.Count, 54);
    EXPECT_EQ(Sorted(Entries(pile)), FullDeck());
    EXPECT_NE(Entries(pile), before) << "PushAndShuffle still shuffles";
}

TEST(CardPile, ShuffleMixesOnlyTheEntriesHeld)
{
    TCardPile pile;
    pile.Clear();
    for (int card : {1, 2, 3})
        pile.Push(card);
    const std::vector<int> above(pile.Cards + 3, pile.Cards + 54);
    for (int i = 0; i < 20; ++i)
        pile.Shuffle();
    EXPECT_EQ(Sorted(Entries(pile)), std::vector<int>({1, 2, 3}));
    EXPECT_EQ(std::vector<int>(pile.Cards + 3, pile.Cards + 54), above);
}
