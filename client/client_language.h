#pragma once

#include <QString>
#include <optional>

// The language of the client's captions, menus, message boxes and chat
// notices. Japanese is the source text in the code; English comes from the
// translation built into the program. Texts the server sends are shown as
// sent, whatever the language.
enum class TClientLanguage { Japanese, English };

// "ja" or "en", as --lang takes it; nothing for any other text.
std::optional<TClientLanguage> ReadClientLanguage(const QString& text);

// The language the environment asks for: English when the messages locale
// (LC_ALL, else LC_MESSAGES, else LANG, the first one set) is an English one,
// Japanese otherwise, the C and POSIX locales and no locale at all included.
TClientLanguage EnvironmentLanguage();

// Makes the application's translations speak the language; the windows made
// afterwards show it. False when the English translation cannot be loaded
// (the captions then stay Japanese). Needs the application object.
bool UseClientLanguage(TClientLanguage language);
