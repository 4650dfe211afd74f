#include "server/listening_lines.h"

namespace ListeningLines {

namespace {

constexpr std::string_view Word = "/待受  ";

bool EveryAddress(std::string_view address)
{
    return address.empty() || address == "::" || address == "0.0.0.0";
}

// An address and port as a URL writes them: an IPv6 address in brackets.
std::string Place(std::string_view address, int port)
{
    const std::string host = address.find(':') != std::string_view::npos ? "[" + std::string(address) + "]"
                                                                          : std::string(address);
    return host + ":" + std::to_string(port);
}

}  // namespace

std::string Game(std::string_view address, int port)
{
    return std::string(Word) + "ゲーム " + Place(address, port);
}

std::string Web(std::string_view address, int port, bool secure)
{
    const std::string where = Place(address, port);
    const std::string host = Place(EveryAddress(address) ? "localhost" : address, port);
    return std::string(Word) + "ウェブ " + where + " " + (secure ? "https" : "http") + "://" + host + "/";
}

std::string Control(std::string_view path)
{
    return std::string(Word) + "制御 " + std::string(path);
}

}  // namespace ListeningLines
