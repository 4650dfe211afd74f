#pragma once

#include <QImage>

// Size of a card picture: the size of a field slot on the client's table.
inline constexpr int CardWidth = 89;
inline constexpr int CardHeight = 129;

// Cards 1 to 52 are four suits of the ranks 1 (A) to 13 (K) in order, the
// suits being spades (1-13), hearts (14-26), diamonds (27-39) and clubs
// (40-52); 53 is the red joker, 54 the black one.
inline constexpr int RanksPerSuit = 13;
inline constexpr int RedJoker = 53;
inline constexpr int BlackJoker = 54;

// The picture of one card.
QImage PaintCard(int card);
