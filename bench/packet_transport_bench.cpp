// Packets per second and bytes per second through a pair of packet
// reader-writers on loopback (a client component sending from its own thread,
// a server component receiving on the main thread, each with its own event
// loop), beside a plain blocking send/recv loop moving the same packets
// between the same two threads, measured in the same run.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/ratio_report.h"
#include "transport/packet_client_socket.h"
#include "transport/packet_server_socket.h"

namespace {

constexpr int PacketsPerIteration = 20000;
// The sender keeps at most this much queued before waiting for write-ready.
constexpr int SendWindow = 256 * 1024;

// The sending end: a client component living in its own thread.
class SenderThread : public QThread {
public:
    SenderThread(int port, int payloadSize) : port_(port), payload_(static_cast<std::size_t>(payloadSize), 'p') {}

    // Asks the sender to send `count` more packets (from any thread).
    void Request(int count)
    {
        QMetaObject::invokeMethod(context_, [this, count] {
            remaining_ += count;
            Pump();
        });
    }

    void WaitReady()
    {
        while (!ready_)
            std::this_thread::yield();
    }

protected:
    void run() override
    {
        QObject context;
        context_ = &context;
        TPacketClientSocket client;
        client_ = &client;
        client.SetAddress("127.0.0.1");
        client.SetPort(port_);
        QEventLoop loop;
        client.OnConnect = [this](TObject*, TCustomWinSocket*) { ready_ = true; };
        client.OnWrite = [this](TObject*, TCustomWinSocket*) { Pump(); };
        client.SetActive(true);
        loop.exec();
    }

private:
    // Write-ready is raised before the reader-writer drains its buffer, so the
    // pump drains first: otherwise a buffer that drains completely afterwards
    // would leave no further write-ready to resume the sending.
    void Pump()
    {
        client_->SocketRW->DoWrite();
        while (remaining_ > 0 && client_->SocketRW->SendBuffer.Count() < SendWindow) {
            client_->Send(payload_.data(), static_cast<int>(payload_.size()));
            --remaining_;
        }
    }

    int port_;
    std::string payload_;
    QObject* context_ = nullptr;
    TPacketClientSocket* client_ = nullptr;
    std::atomic<bool> ready_{false};
    int remaining_ = 0;
};

void PacketSocketRW(benchmark::State& state)
{
    const int payloadSize = static_cast<int>(state.range(0));
    TPacketServerSocket server;
    server.SetAddress("127.0.0.1");
    long received = 0;
    long target = 0;
    QEventLoop waiting;
    server.OnPacketArrived = [&](TObject*, TCustomWinSocket*, const void*, int) {
        if (++received == target)
            waiting.quit();
    };
    server.SetActive(true);
    SenderThread sender(server.Socket()->LocalPort(), payloadSize);
    sender.start();
    sender.WaitReady();
    for (auto _ : state) {
        target = received + PacketsPerIteration;
        sender.Request(PacketsPerIteration);
        waiting.exec();
    }
    state.SetItemsProcessed(state.iterations() * PacketsPerIteration);
    state.SetBytesProcessed(state.iterations() * PacketsPerIteration * (payloadSize + 4));
    sender.quit();
    sender.wait();
}

// The baseline: one blocking send per framed packet, one thread receiving
// with blocking recv into a 64 KiB buffer and cutting the packets.
void PlainBlockingLoop(benchmark::State& state)
{
    const int payloadSize = static_cast<int>(state.range(0));
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 1);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const int sending = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(sending, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int receiving = ::accept(listener, nullptr, nullptr);
    ::close(listener);
    const int on = 1;
    setsockopt(sending, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);

    std::string packet(static_cast<std::size_t>(payloadSize) + 4, 'p');
    const auto size = static_cast<std::uint32_t>(payloadSize);
    std::memcpy(packet.data(), &size, 4);
    std::atomic<long> requested{0};
    std::atomic<bool> stop{false};
    std::thread sender([&] {
        long sent = 0;
        while (!stop) {
            while (sent < requested.load()) {
                ::send(sending, packet.data(), packet.size(), MSG_NOSIGNAL);
                ++sent;
            }
            std::this_thread::yield();
        }
    });

    std::vector<char> buffer(65536);
    long packets = 0;
    long partial = 0;  // bytes of the current packet still expected (header included)
    std::uint32_t header = 0;
    int headerBytes = 0;
    for (auto _ : state) {
        const long target = packets + PacketsPerIteration;
        requested += PacketsPerIteration;
        while (packets < target) {
            const ssize_t n = ::recv(receiving, buffer.data(), buffer.size(), 0);
            for (ssize_t i = 0; i < n;) {
                if (partial == 0) {
                    reinterpret_cast<char*>(&header)[headerBytes++] = buffer[static_cast<std::size_t>(i++)];
                    if (headerBytes == 4) {
                        partial = header;
                        headerBytes = 0;
                        if (partial == 0)
                            ++packets;
                    }
                    continue;
                }
                const long take = std::min<long>(partial, n - i);
                i += take;
                partial -= take;
                if (partial == 0)
                    ++packets;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * PacketsPerIteration);
    state.SetBytesProcessed(state.iterations() * PacketsPerIteration * (payloadSize + 4));
    stop = true;
    sender.join();
    ::close(sending);
    ::close(receiving);
}

}  // namespace

BENCHMARK(PacketSocketRW)->Arg(64)->Arg(4096)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(PlainBlockingLoop)->Arg(64)->Arg(4096)->UseRealTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return RunWithRatios(argc, argv,
                         {{"PacketSocketRW/64/real_time", "PlainBlockingLoop/64/real_time"},
                          {"PacketSocketRW/4096/real_time", "PlainBlockingLoop/4096/real_time"}});
}
