#pragma once

#include <string_view>

#include "table/peer.h"

// Who may send what: a connection acts and speaks only in the names it joined
// with, and words only a server sends never come from a client.
namespace Identity {

// "/kill", "/list" and the level-2 words a server alone sends: a client that
// sent one could disconnect players, overwrite everyone's roster or fake the
// table's state.
bool ServerOnlyWord(std::string_view text);
// Whether peer may send text: it joined, and every name the text carries (a
// command's name field, a chat line's opening name) is one of its own, ASCII
// letter case aside.
bool MaySend(const TPeer& peer, std::string_view text);
bool OwnsName(const TPeer& peer, std::string_view name);
// The word a refused packet is logged under: its bytes up to the first space,
// at most a name's length.
std::string_view RefusedWord(std::string_view text);

}  // namespace Identity
