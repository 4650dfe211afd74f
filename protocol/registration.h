#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/ansi_string.h"

// The texts of registered names and of the server's pages, spoken only with
// level-2 clients: "/register " name asks for a name, "/namekey " name " "
// key answers the one connection that asked, and "/site " url says where the
// server's pages are. Names are code page 932 bytes.
namespace Protocol::Registration {

// The name (its padding removed) of a "/register " name text; nothing for any
// other text or a name that is empty or longer than a padded name.
std::optional<AnsiString> ReadRegister(std::string_view text);

// "/namekey " padded name " " key.
AnsiString NameKeyText(std::string_view name, std::string_view key);

// "/game refused " sentence (given as UTF-8): what a level-2 player reads
// when its "/deal" or its "/register" cannot be done.
AnsiString GameRefusedText(std::string_view utf8Sentence);

// "/site " url.
std::string SiteText(std::string_view url);

}  // namespace Protocol::Registration
