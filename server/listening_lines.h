#pragma once

#include <string>
#include <string_view>

// The log lines that say, at start, where the server listens: the game's
// port, the web port with the address a browser on this machine opens, and
// the control socket. UTF-8, in the log's "/word  subject" form.
namespace ListeningLines {

// "/待受  ゲーム [::]:16523": the game's TCP port at its local address.
std::string Game(std::string_view address, int port);
// "/待受  ウェブ [::]:16580 http://localhost:16580/": the web port and its URL
// (https with a certificate); a port listening on every address is opened
// at localhost, one on a single address at that address.
std::string Web(std::string_view address, int port, bool secure);
// "/待受  制御 /run/kivol/control": the operator's control socket.
std::string Control(std::string_view path);

}  // namespace ListeningLines
