#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netdb.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "loopback_peer.h"
#include "streams/host_information.h"
#include "streams/streams_test_support.h"

using streams_test::TempDir;

namespace {

std::string SystemHostName()
{
    char buffer[256] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0)
        return {};
    return buffer;
}

}  // namespace

TEST(HostInformation, LocalHostNameIsTheSystemHostName)
{
    EXPECT_EQ(GetLocalHostName(), SystemHostName());
    EXPECT_FALSE(GetLocalHostName().empty());
}

TEST(HostInformation, ComputerNameIsTheFirstLabelInUpperCaseAtMost15Characters)
{
    const std::string name = GetNBComputerName();
    EXPECT_LE(name.size(), 15u);
    EXPECT_FALSE(name.empty());
    for (char c : name) {
        EXPECT_FALSE(std::islower(static_cast<unsigned char>(c))) << name;
        EXPECT_NE(c, '.') << name;
    }
    std::string expected = SystemHostName();
    expected = expected.substr(0, std::min<std::size_t>(expected.find('.'), 15));
    std::transform(expected.begin(), expected.end(), expected.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    EXPECT_EQ(name, expected);
}

TEST(HostInformation, UserNameIsTheLoginNameOfTheEffectiveUser)
{
    const passwd* entry = ::getpwuid(::geteuid());
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(GetNBUserName(), entry->pw_name);
}

// The classic resolver calls (gethostbyname) serve as the oracle for the getaddrinfo
// forms: the official name, and an address among those of the host entry.
TEST(HostInformation, FullyQualifiedNameIsTheOfficialNameOfTheForwardLookup)
{
    const std::string host = SystemHostName();
    const hostent* entry = ::gethostbyname(host.c_str());
    if (!entry) {
        EXPECT_EQ(GetLocalFQHostName(), "");
        return;
    }
    EXPECT_EQ(GetLocalFQHostName(), entry->h_name);
}

TEST(HostInformation, HostAddressIsAnIPv4AddressOfTheForwardLookup)
{
    const std::string host = SystemHostName();
    const hostent* entry = ::gethostbyname(host.c_str());
    const std::string address = GetLocalHostAddress();
    if (!entry || entry->h_addrtype != AF_INET) {
        EXPECT_EQ(address, "");
        return;
    }
    std::vector<std::string> known;
    for (char** a = entry->h_addr_list; *a; ++a) {
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, *a, text, sizeof text);
        known.emplace_back(text);
    }
    in_addr parsed{};
    EXPECT_EQ(::inet_pton(AF_INET, address.c_str(), &parsed), 1) << address;
    EXPECT_NE(std::find(known.begin(), known.end(), address), known.end()) << address;
}

TEST(FileMimeType, NameWithoutADotGivesStar)
{
    EXPECT_EQ(GetFileMimeType("README"), "*");
    EXPECT_EQ(GetFileMimeType(""), "*");
    EXPECT_EQ(GetFileMimeType("/usr/share/doc/README"), "*");
}

TEST(FileMimeType, NameWithTwoDotsLooksUpTheLastExtension)
{
    EXPECT_EQ(GetFileMimeType("notes.backup.txt"), "text/plain");
    EXPECT_EQ(GetFileMimeType("picture.txt.png"), "image/png");
    EXPECT_EQ(GetFileMimeType("picture.png.kivolunknownext"), "*");
}

TEST(FileMimeType, DotOnlyInADirectoryGivesStar)
{
    EXPECT_EQ(GetFileMimeType("/etc/conf.d/readme"), "*");
    EXPECT_EQ(GetFileMimeType("dir.txt/readme"), "*");
    EXPECT_EQ(GetFileMimeType("C:\\dir.txt\\readme"), "*");
    EXPECT_EQ(GetFileMimeType("A.txt:readme"), "*") << "a drive separator counts too";
}

TEST(FileMimeType, KnownExtensionsGiveTheirTypeWhateverTheCase)
{
    EXPECT_EQ(GetFileMimeType(".txt"), "text/plain");
    EXPECT_EQ(GetFileMimeType("a.txt"), "text/plain");
    EXPECT_EQ(GetFileMimeType("/tmp/dir.d/a.txt"), "text/plain");
    EXPECT_EQ(GetFileMimeType("C:\\Windows\\a.TXT"), "text/plain");
    EXPECT_EQ(GetFileMimeType("c:a.Png"), "image/png");
    EXPECT_EQ(GetFileMimeType("data.bin"), "application/octet-stream");
}

TEST(FileMimeType, UnknownOrEmptyExtensionGivesStar)
{
    EXPECT_EQ(GetFileMimeType("file.kivolunknownext"), "*");
    EXPECT_EQ(GetFileMimeType("file."), "*");
    EXPECT_EQ(GetFileMimeType("."), "*");
}

TEST(FileMimeType, TableFormatCommentsBlanksCaseAndFirstEntry)
{
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string table = dir.Write("mime.types",
                                        "# a comment line mentioning abc/def xyz\n"
                                        "\n"
                                        "   \t\n"
                                        "text/x-first\t\tdup one\n"
                                        "text/x-second dup two   # trailing words: cmt\n"
                                        "image/X-Upper\t\tUPR\r\n"
                                        "application/x-typeonly\n"
                                        "#text/x-commented cmt2\n"
                                        "text/x-last last");
    EXPECT_EQ(GetFileMimeType("a.one", table), "text/x-first");
    EXPECT_EQ(GetFileMimeType("a.dup", table), "text/x-first") << "the first line naming it wins";
    EXPECT_EQ(GetFileMimeType("a.two", table), "text/x-second");
    EXPECT_EQ(GetFileMimeType("a.cmt", table), "*");
    EXPECT_EQ(GetFileMimeType("a.cmt2", table), "*");
    EXPECT_EQ(GetFileMimeType("a.upr", table), "image/X-Upper") << "type as written, extension in any case";
    EXPECT_EQ(GetFileMimeType("a.UpR", table), "image/X-Upper");
    EXPECT_EQ(GetFileMimeType("a.xyz", table), "*");
    EXPECT_EQ(GetFileMimeType("a.last", table), "text/x-last") << "last line without LF";
    EXPECT_EQ(GetFileMimeType("a.txt", table), "*") << "only the given table is consulted";
}

TEST(FileMimeType, MissingTableFindsNothing)
{
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    EXPECT_EQ(GetFileMimeType("a.txt", dir.File("no-table")), "*");
    EXPECT_EQ(GetFileMimeType("a", dir.File("no-table")), "*");
}

// The classic reverse and forward lookups of 127.0.0.1 serve as the oracle.
TEST(HostInformation, SocketFormsDescribeTheLocalEndOfALoopbackConnection)
{
    streams_test::LoopbackPeer peer;
    TClientWinSocket socket(false);
    ASSERT_TRUE(peer.Connect(socket));
    EXPECT_EQ(GetLocalHostAddress(&socket), "127.0.0.1");

    const in_addr loopback{htonl(INADDR_LOOPBACK)};
    const hostent* reverse = ::gethostbyaddr(&loopback, sizeof loopback, AF_INET);
    const std::string name = reverse ? reverse->h_name : "";
    const hostent* forward = name.empty() ? nullptr : ::gethostbyname(name.c_str());
    EXPECT_EQ(GetLocalFQHostName(&socket), forward ? forward->h_name : "");
}

TEST(HostInformation, SocketFormsAreEmptyWithoutAHandle)
{
    TClientWinSocket unopened(false);
    EXPECT_EQ(GetLocalHostAddress(&unopened), "");
    EXPECT_EQ(GetLocalFQHostName(&unopened), "");
    EXPECT_EQ(GetLocalHostAddress(nullptr), "");
    EXPECT_EQ(GetLocalFQHostName(nullptr), "");
}
