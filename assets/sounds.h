#pragma once

#include <vector>

// The client's five sounds as samples at SampleRate, each peaking at half of
// full scale (-6 dBFS), starting and ending in silence so that none clicks.
namespace Sounds {

std::vector<double> Draw();     // a soft, short pluck: a card lands on the table
std::vector<double> Join();     // a rising two-note chime: a player arrives
std::vector<double> Hit();      // a bright, percussive strike: someone hit
std::vector<double> Message();  // a gentle single ding: a chat line
std::vector<double> Hele();     // a playful, pitch-gliding boing: the reaction

}  // namespace Sounds
