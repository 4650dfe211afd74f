#include "streams/host_information.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/custom_win_socket.h"

namespace {

constexpr std::size_t NetBiosNameLength = 15;  // MAX_COMPUTERNAME_LENGTH
constexpr std::size_t UserNameBuffer = 100;    // the Windows call's buffer, terminator included
constexpr std::size_t HostNameBuffer = 256;
constexpr const char* SystemMimeTable = "/etc/mime.types";

char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

AnsiString AsciiLower(AnsiString text)
{
    for (char& c : text)
        c = AsciiLower(c);
    return text;
}

// Forward lookup of a host name, IPv4 only, one entry per address.
struct AddressInfo {
    explicit AddressInfo(const AnsiString& host, int flags)
    {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = flags;
        if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0)
            list = nullptr;
    }
    ~AddressInfo()
    {
        if (list)
            ::freeaddrinfo(list);
    }
    AddressInfo(const AddressInfo&) = delete;
    AddressInfo& operator=(const AddressInfo&) = delete;

    addrinfo* list = nullptr;
};

// The canonical (official) name of a host by forward lookup; empty when none is found.
AnsiString CanonicalName(const AnsiString& host)
{
    const AddressInfo info(host, AI_CANONNAME);
    if (!info.list || !info.list->ai_canonname)
        return {};
    return AnsiString(info.list->ai_canonname);
}

// Extension to content type, extensions in lower case.
using MimeTable = std::unordered_map<std::string, std::string>;

// Reads a table in the format of mime.types: per line a content type followed
// by its extensions, separated by blanks; a word starting with "#" ends the
// line. A missing or unreadable file gives an empty table.
MimeTable LoadMimeTable(const AnsiString& path)
{
    MimeTable table;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string type, extension;
        if (!(words >> type) || type[0] == '#')
            continue;
        while (words >> extension && extension[0] != '#')
            table.emplace(AsciiLower(extension), type);  // the first line naming an extension wins
    }
    return table;
}

AnsiString LookUpMimeType(const AnsiString& fileName, const MimeTable& table)
{
    // The last path or drive separator or dot; an extension only when it is a
    // dot. (A CP932 trail byte can equal "\\" but never ".", "/" or ":", and
    // such a trail byte after the last dot leaves a non-ASCII extension that
    // no table lists, so bytewise scanning gives the same results.)
    const std::size_t last = fileName.find_last_of("./\\:");
    if (last == AnsiString::npos || fileName[last] != '.')
        return "*";
    const auto found = table.find(AsciiLower(fileName.substr(last + 1)));
    return found == table.end() ? AnsiString("*") : found->second;
}

}  // namespace

AnsiString GetNBComputerName()
{
    try {
        AnsiString name = GetLocalHostName();
        name = name.substr(0, name.find('.'));
        if (name.size() > NetBiosNameLength)
            name.resize(NetBiosNameLength);
        for (char& c : name)
            c = AsciiUpper(c);
        return name;
    } catch (...) {
        return {};
    }
}

AnsiString GetNBUserName()
{
    try {
        const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
        passwd entry{};
        passwd* result = nullptr;
        int error;
        while ((error = ::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &result)) == ERANGE &&
               buffer.size() < (1u << 20))
            buffer.resize(buffer.size() * 2);
        if (error != 0 || !result || !result->pw_name)
            return {};
        AnsiString name = result->pw_name;
        if (name.size() >= UserNameBuffer)
            return {};
        return name;
    } catch (...) {
        return {};
    }
}

AnsiString GetLocalHostName()
{
    try {
        char buffer[HostNameBuffer] = {};
        if (::gethostname(buffer, sizeof buffer) != 0)
            return {};
        buffer[sizeof buffer - 1] = '\0';
        return AnsiString(buffer);
    } catch (...) {
        return {};
    }
}

AnsiString GetLocalFQHostName()
{
    try {
        return CanonicalName(GetLocalHostName());
    } catch (...) {
        return {};
    }
}

AnsiString GetLocalHostAddress()
{
    try {
        const AddressInfo info(GetLocalHostName(), 0);
        for (const addrinfo* a = info.list; a; a = a->ai_next) {
            if (a->ai_family != AF_INET || !a->ai_addr || a->ai_addrlen < sizeof(sockaddr_in))
                continue;
            const auto* address = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
            char text[INET_ADDRSTRLEN] = {};
            if (!::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text))
                return {};
            return AnsiString(text);
        }
        return {};
    } catch (...) {
        return {};
    }
}

AnsiString GetLocalFQHostName(TCustomWinSocket* socket)
{
    try {
        if (!socket || socket->SocketHandle() < 0)
            return {};
        sockaddr_in address{};
        socklen_t length = sizeof address;
        if (::getsockname(socket->SocketHandle(), reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
            address.sin_family != AF_INET)
            return {};
        char host[NI_MAXHOST] = {};
        if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, host, sizeof host, nullptr, 0,
                          NI_NAMEREQD) != 0)
            return {};
        return CanonicalName(host);
    } catch (...) {
        return {};
    }
}

AnsiString GetLocalHostAddress(TCustomWinSocket* socket)
{
    try {
        return socket ? socket->LocalAddress() : AnsiString();
    } catch (...) {
        return {};
    }
}

AnsiString GetFileMimeType(const AnsiString& fileName)
{
    try {
        static const MimeTable table = LoadMimeTable(SystemMimeTable);  // thread-safe, once
        return LookUpMimeType(fileName, table);
    } catch (...) {
        return "*";
    }
}

AnsiString GetFileMimeType(const AnsiString& fileName, const AnsiString& tablePath)
{
    try {
        return LookUpMimeType(fileName, LoadMimeTable(tablePath));
    } catch (...) {
        return "*";
    }
}
