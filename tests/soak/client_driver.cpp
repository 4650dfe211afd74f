#include "client_driver.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <functional>
#include <random>
#include <set>
#include <thread>

#include "frame_reader.h"
#include "protocol/padded_name.h"

namespace soak {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

enum class Role { Leaver, Stayer, Talker, Silent, Quitter, Garbage };

constexpr int Talkers = 2;
constexpr int Silent = 3;
constexpr int Garbage = 10;
constexpr int Quitters = 25;
constexpr int Players = 160;  // half leave at the end, half stay
constexpr int Slots = Talkers + Silent + Garbage + Quitters + Players;

constexpr std::size_t BulkChat = 32 * 1024;
constexpr milliseconds BulkEvery{100};
// A talker whose own bytes pile up this much waits before sending more.
constexpr std::size_t TalkerBacklog = 256 * 1024;
// More than the server's 1 MiB receive limit.
constexpr std::size_t OverLimit = (1 << 20) + (100 << 10);

const std::string Marker = std::string(": soak mark") + '\0';
const std::string Fresh = Protocol::PaddedName("FRESH");

Role RoleOf(int slot)
{
    if (slot < Talkers)
        return Role::Talker;
    slot -= Talkers;
    if (slot < Silent)
        return Role::Silent;
    slot -= Silent;
    if (slot < Garbage)
        return Role::Garbage;
    slot -= Garbage;
    if (slot < Quitters)
        return Role::Quitter;
    slot -= Quitters;
    return slot % 2 == 0 ? Role::Leaver : Role::Stayer;
}

std::string Header(std::int32_t length)
{
    const auto n = static_cast<std::uint32_t>(length);
    return {char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
}

// The text and its NUL, framed as a packet.
std::string Command(std::string_view text)
{
    return Header(static_cast<std::int32_t>(text.size() + 1)) + std::string(text) + '\0';
}

int ConnectLoopback(int port, bool smallReceiveBuffer)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (smallReceiveBuffer) {
        const int size = 4096;
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

}  // namespace

struct ClientDriver::Client {
    int slot = 0;
    Role role = Role::Leaver;
    int fd = -1;
    int session = 0;
    std::string name;
    std::string out;
    bool writeWatched = false;
    bool leaving = false;  // wrote its last bytes and shut down; waits for the server's close
    Clock::time_point nextAction;
    Clock::time_point endOfSession;
    Clock::time_point nextBulk;
    std::set<int> seats;
    FrameReader reader;
};

// The clients and their epoll loop.
class ClientDriver::Loop {
public:
    Loop(int port, DriverFigures& figures, std::function<void(const std::string&)> fail)
        : port_(port), epoll_(::epoll_create1(EPOLL_CLOEXEC)), figures_(figures), fail_(std::move(fail)), rng_(20030517)
    {
        clients.resize(Slots);
        for (int slot = 0; slot < Slots; ++slot) {
            clients[std::size_t(slot)].slot = slot;
            clients[std::size_t(slot)].role = RoleOf(slot);
        }
    }

    ~Loop()
    {
        for (Client& c : clients)
            if (c.fd >= 0)
                ::close(c.fd);
        ::close(epoll_);
    }

    void Open(Client& c)
    {
        const int slot = c.slot;
        const Role role = c.role;
        c = Client();
        c.slot = slot;
        c.role = role;
        c.fd = ConnectLoopback(port_, c.role == Role::Silent);
        if (c.fd < 0) {
            fail_("a client cannot connect");
            return;
        }
        ++figures_.connections;
        ++sessions_[std::size_t(c.slot)];
        c.session = sessions_[std::size_t(c.slot)];
        // A silent client is never read, so it is not watched either.
        if (c.role != Role::Silent)
            Watch(c, EPOLL_CTL_ADD, false);
        if (c.role == Role::Garbage)
            return;
        static const char prefix[] = {'l', 's', 't', 'z', 'q'};
        c.name = Protocol::PaddedName(prefix[int(c.role)] + std::to_string(c.slot * 1000 + c.session));
        joined.insert(c.name);
        Send(c, Command("/join " + c.name));
    }

    // Ends this side of the connection; a reset drops what the peer has not read.
    void Close(Client& c, bool reset)
    {
        if (c.fd < 0)
            return;
        if (reset) {
            const linger hard{1, 0};
            setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        }
        ::close(c.fd);
        c.fd = -1;
        figures_.packetsReceived += c.reader.Packets();
        c.reader = FrameReader();
    }

    void Send(Client& c, const std::string& bytes)
    {
        if (c.fd < 0)
            return;
        c.out += bytes;
        Flush(c);
    }

    void RandomCommand(Client& c)
    {
        const int seat = Below(6);
        const std::string s = std::to_string(seat);
        const int r = Below(100);
        std::string text;
        if (r < 30) {
            text = c.name + ": " + RandomText(5 + Below(56));
        } else if (r < 38) {
            text = "/take " + s + " " + c.name;
            c.seats.insert(seat);
        } else if (r < 44) {
            text = "/leave " + s;
            c.seats.erase(seat);
        } else if (r < 60) {
            text = "/draw " + c.name;
        } else if (r < 68) {
            text = "/B2T " + s + " " + c.name;
        } else if (r < 76) {
            text = "/T2Y " + s + " " + c.name;
        } else if (r < 82) {
            text = "/B2Y";
        } else if (r < 88) {
            text = "/hit " + c.name;
        } else if (r < 93) {
            text = "/set " + c.name + " " + std::to_string(1 + Below(99));
        } else if (r < 99) {
            text = "/hele";
        } else {
            text = "/init";
        }
        ++figures_.commands;
        Send(c, Command(text));
    }

    // The leave sequence: "/left", "/fleav" for each seat held, then the end of sending.
    void Leave(Client& c)
    {
        Send(c, Command("/left " + c.name));
        for (int seat : c.seats)
            Send(c, Command("/fleav " + std::to_string(seat)));
        figures_.commands += 1 + long(c.seats.size());
        joined.erase(c.name);
        c.leaving = true;
        ShutdownWhenSent(c);
    }

    void SendBulk(Client& c)
    {
        if (c.out.size() > TalkerBacklog)
            return;
        Send(c, Command(c.name + ": " + std::string(BulkChat, char('a' + Below(26)))));
        figures_.bulkBytes += long(BulkChat);
        ++figures_.commands;
    }

    void SendGarbage(Client& c)
    {
        std::string bytes;
        switch (c.session % 3) {
        case 0:  // an impossible length
            bytes = Header(-1 - Below(1000)) + "xyz";
            break;
        case 1:  // a length the server waits for, and more bytes than it may hold
            bytes = Header(0x7FFFFF00) + std::string(OverLimit, 'g');
            break;
        default:  // random packets, some of them impossible
            for (int i = 0; i < 20; ++i) {
                const int length = Below(204) - 3;
                bytes += Header(length);
                if (length > 0)
                    bytes += RandomBytes(length);
            }
        }
        figures_.garbageBytes += long(bytes.size());
        Send(c, bytes);
    }

    // Writes a packet header and part of its payload, then closes.
    void VanishMidPacket(Client& c)
    {
        Send(c, Header(100) + std::string(10, 'v'));
        const bool reset = c.session % 2 == 1;
        ++(reset ? figures_.midPacketResets : figures_.midPacketCloses);
        Close(c, reset);
    }

    // Waits up to timeoutMs for events and handles them.
    void Poll(int timeoutMs)
    {
        epoll_event events[256];
        const int n = ::epoll_wait(epoll_, events, 256, timeoutMs);
        for (int i = 0; i < n; ++i) {
            Client& c = clients[events[i].data.u32];
            if (c.fd < 0)
                continue;
            if (events[i].events & EPOLLOUT)
                Flush(c);
            if (c.fd >= 0 && events[i].events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR))
                Read(c);
        }
    }

    // Polls until done() holds; false after timeoutMs.
    bool PollUntil(const std::function<bool()>& done, int timeoutMs)
    {
        const auto end = Clock::now() + milliseconds(timeoutMs);
        while (!done()) {
            if (Clock::now() >= end)
                return false;
            Poll(10);
        }
        return true;
    }

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    milliseconds Between(int lowMs, int highMs) { return milliseconds(lowMs + Below(highMs - lowMs + 1)); }

    std::vector<Client> clients;
    // Names that joined and have not left.
    std::set<std::string> joined;

private:
    // Watches the client for reading, and for writing while bytes wait to go.
    void Watch(Client& c, int operation, bool write)
    {
        epoll_event event{};
        event.events = EPOLLIN | EPOLLRDHUP | (write ? EPOLLOUT : 0u);
        event.data.u32 = std::uint32_t(c.slot);
        ::epoll_ctl(epoll_, operation, c.fd, &event);
        c.writeWatched = write;
    }

    void Flush(Client& c)
    {
        std::size_t sent = 0;
        while (sent < c.out.size()) {
            const ssize_t n = ::send(c.fd, c.out.data() + sent, c.out.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                sent += std::size_t(n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                break;
            Ended(c);
            return;
        }
        c.out.erase(0, sent);
        if (c.role == Role::Silent)
            return;
        if (c.out.empty() == c.writeWatched)
            Watch(c, EPOLL_CTL_MOD, !c.out.empty());
        if (c.leaving)
            ShutdownWhenSent(c);
    }

    void ShutdownWhenSent(Client& c)
    {
        if (c.fd >= 0 && c.out.empty())
            ::shutdown(c.fd, SHUT_WR);
    }

    void Read(Client& c)
    {
        char chunk[65536];
        for (;;) {
            const ssize_t n = ::recv(c.fd, chunk, sizeof chunk, MSG_DONTWAIT);
            if (n > 0) {
                if (!c.reader.Feed(chunk, std::size_t(n)))
                    fail_("a client received an impossible packet length");
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                return;
            Ended(c);
            return;
        }
    }

    // The server ended the connection (or reset it).
    void Ended(Client& c)
    {
        const bool expected = c.leaving || c.role == Role::Garbage || c.role == Role::Quitter;
        if (!expected)
            fail_("the server cut off a well-behaved client (" + c.name + ")");
        Close(c, false);
        c.out.clear();
        c.nextAction = Clock::now() + milliseconds(500);
    }

    int port_;
    int epoll_;
    DriverFigures& figures_;
    std::function<void(const std::string&)> fail_;
    std::mt19937 rng_;
    std::vector<int> sessions_ = std::vector<int>(Slots);

    std::string RandomText(int length)
    {
        std::string text;
        for (int i = 0; i < length; ++i)
            text += char('a' + Below(26));
        return text;
    }

    std::string RandomBytes(int length)
    {
        std::string bytes;
        for (int i = 0; i < length; ++i)
            bytes += char(Below(256));
        return bytes;
    }
};

ClientDriver::ClientDriver(int port, std::chrono::seconds traffic, Handshake& handshake)
    : port_(port),
      traffic_(traffic),
      handshake_(handshake),
      loop_(std::make_unique<Loop>(port, figures_, [this](const std::string& what) { Fail(what); }))
{
    figures_.clients = Slots;
    figures_.silentClients = Silent;
}

ClientDriver::~ClientDriver() = default;

void ClientDriver::Fail(const std::string& what)
{
    if (figures_.failures.size() < 20)
        figures_.failures.push_back(what);
}

void ClientDriver::Run()
{
    Traffic();
    GoQuiet();
    if (ExchangeMarkers()) {
        int open = 0;
        for (const Client& c : loop_->clients)
            open += c.fd >= 0;
        handshake_.expectedConnections = open;
        if (!loop_->PollUntil([&] { return handshake_.settled.load(); }, 30000))
            Fail("the server did not settle");
        CheckFreshClient();
    }
    CloseAll();
    handshake_.finished = true;
}

void ClientDriver::Traffic()
{
    Loop& loop = *loop_;
    const auto start = Clock::now();
    for (Client& c : loop.clients) {
        // A garbage client connects when it has something to send.
        if (c.role != Role::Garbage)
            loop.Open(c);
        c.nextAction = start + loop.Between(0, 800);
        c.endOfSession = start + loop.Between(2000, 8000);
    }
    const auto end = start + traffic_;
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        loop.Poll(5);
        for (Client& c : loop.clients) {
            if (c.role == Role::Talker && c.fd >= 0 && now >= c.nextBulk) {
                loop.SendBulk(c);
                c.nextBulk = now + BulkEvery;
            }
            if (now < c.nextAction || c.role == Role::Silent)
                continue;
            if (c.role == Role::Garbage) {
                if (c.fd >= 0) {
                    loop.Close(c, false);
                    c.nextAction = now + milliseconds(200);
                } else {
                    loop.Open(c);
                    loop.SendGarbage(c);
                    c.nextAction = now + milliseconds(2000);
                }
                continue;
            }
            if (c.role == Role::Quitter && c.fd < 0) {
                loop.Open(c);
                c.endOfSession = now + loop.Between(2000, 8000);
            } else if (c.role == Role::Quitter && now >= c.endOfSession) {
                loop.VanishMidPacket(c);
                c.nextAction = now + milliseconds(300);
                continue;
            } else {
                loop.RandomCommand(c);
            }
            c.nextAction = now + loop.Between(200, 800);
        }
    }
}

void ClientDriver::GoQuiet()
{
    Loop& loop = *loop_;
    for (Client& c : loop.clients) {
        if (c.role == Role::Leaver)
            loop.Leave(c);
        else if (c.role != Role::Stayer && c.role != Role::Talker)
            loop.Close(c, true);
    }
    // Each leaver waits for the server to close its side after its last bytes.
    if (!loop.PollUntil(
            [&] {
                for (const Client& c : loop.clients)
                    if (c.role == Role::Leaver && c.fd >= 0)
                        return false;
                return true;
            },
            20000))
        Fail("leavers were not let go");
}

bool ClientDriver::ExchangeMarkers()
{
    Loop& loop = *loop_;
    std::vector<Client*> stayers;
    for (Client& c : loop.clients)
        if (c.fd >= 0)
            stayers.push_back(&c);
    for (Client* c : stayers)
        c->reader.WatchFor(Marker);
    for (Client* c : stayers)
        loop.Send(*c, Command(c->name + Marker.substr(0, Marker.size() - 1)));
    const bool synced = loop.PollUntil(
        [&] {
            for (const Client* c : stayers)
                if (c->fd < 0 || c->reader.Matches() < long(stayers.size()))
                    return false;
            return true;
        },
        30000);
    if (!synced)
        Fail("the stayers' markers did not all come round");
    return synced;
}

void ClientDriver::CheckFreshClient()
{
    Loop& loop = *loop_;
    const int fd = ConnectLoopback(port_, false);
    if (fd < 0) {
        Fail("the fresh client cannot connect");
        return;
    }
    ++figures_.connections;
    FrameReader reader;
    auto send = [&](std::string_view text) {
        const std::string bytes = Command(text);
        for (std::size_t sent = 0; sent < bytes.size();) {
            const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n > 0)
                sent += std::size_t(n);
            else if (errno != EAGAIN && errno != EINTR)
                return;
            else
                loop.Poll(1);
        }
    };
    // The next packet for the fresh client, while the stayers go on being read.
    auto next = [&]() -> std::string {
        const long before = reader.Packets();
        loop.PollUntil(
            [&] {
                char chunk[4096];
                const ssize_t n = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
                if (n > 0)
                    reader.Feed(chunk, std::size_t(n));
                return reader.Packets() > before;
            },
            10000);
        return reader.Packets() > before ? reader.Recent().back() : std::string("<nothing>");
    };
    auto expect = [&](const std::string& got, const std::string& wanted, const char* what) {
        if (got != wanted)
            Fail(std::string("fresh client: ") + what + " came as \"" + got + "\"");
    };

    // Everyone who joined and never left is cleared from the roster first.
    for (const std::string& name : loop.joined)
        send("/left " + name);
    send("/join " + Fresh);
    expect(next(), "/list \"" + Fresh + "\"" + '\0', "the roster after joining");
    send("/init");
    expect(next(), std::string("/init") + '\0', "/init");
    send("/draw " + Fresh);
    const std::string draw = next();
    const bool drawOk = draw.size() == 18 && draw.compare(0, 15, "/draw " + Fresh + " ") == 0 &&
                        draw[17] == '\0' && std::isdigit(static_cast<unsigned char>(draw[15])) &&
                        std::isdigit(static_cast<unsigned char>(draw[16])) &&
                        std::stoi(draw.substr(15, 2)) >= 1 && std::stoi(draw.substr(15, 2)) <= 54;
    if (!drawOk)
        Fail("fresh client: /draw came as \"" + draw + "\"");
    send("/B2T 2 " + Fresh);
    expect(next(), "/B2T 2 " + Fresh + '\0', "/B2T");
    send("/T2Y 2 " + Fresh);
    expect(next(), "/T2Y 2 " + Fresh + '\0', "/T2Y");
    send("/hit " + Fresh);
    const std::string hit = next();
    if (hit.size() < 16 || hit.compare(0, 14, "/hit " + Fresh + " ") != 0 || hit.back() != '\0')
        Fail("fresh client: /hit came as \"" + hit + "\"");
    send(Fresh + ": bye");
    expect(next(), Fresh + ": bye" + '\0', "a chat line");
    send("/left " + Fresh);
    send("/hele");
    expect(next(), std::string("/hele") + '\0', "/hele right after /left");

    // Every stayer saw the same, in the same order.
    const std::vector<std::string> seen = {"/join " + Fresh + '\0',
                                           "/list \"" + Fresh + "\"" + '\0',
                                           std::string("/init") + '\0',
                                           draw,
                                           "/B2T 2 " + Fresh + '\0',
                                           "/T2Y 2 " + Fresh + '\0',
                                           hit,
                                           Fresh + ": bye" + '\0',
                                           std::string("/list ") + '\0',
                                           "/left " + Fresh + '\0',
                                           std::string("/hele") + '\0'};
    std::vector<Client*> stayers;
    for (Client& c : loop.clients)
        if (c.fd >= 0)
            stayers.push_back(&c);
    loop.PollUntil(
        [&] {
            for (const Client* c : stayers)
                if (c->reader.Recent().empty() || c->reader.Recent().back() != seen.back())
                    return false;
            return true;
        },
        10000);
    for (const Client* c : stayers) {
        const auto& recent = c->reader.Recent();
        if (recent.size() < seen.size() || !std::equal(seen.begin(), seen.end(), recent.end() - long(seen.size()))) {
            Fail("stayer " + c->name + " did not see the fresh client's packets exactly");
            break;
        }
    }
    figures_.packetsReceived += reader.Packets();
    ::close(fd);
}

void ClientDriver::CloseAll()
{
    for (Client& c : loop_->clients)
        loop_->Close(c, false);
}

}  // namespace soak
