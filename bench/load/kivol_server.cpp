#include "bench/load/kivol_server.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "bench/load/ipv4_address.h"

namespace load {

namespace {

std::string ProgramDirectory()
{
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    const std::string self(path, n > 0 ? static_cast<std::size_t>(n) : 0);
    return self.substr(0, self.rfind('/'));
}

// Whether the program file names the option (an older server refuses
// options it does not know). Qt keeps literal option names as UTF-16.
bool ProgramMentions(const std::string& path, const std::string& option)
{
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string wide;
    for (char c : option)
        wide += std::string{c, '\0'};
    return bytes.find(option) != std::string::npos || bytes.find(wide) != std::string::npos;
}

}  // namespace

StateDirectory::StateDirectory()
{
    char path[] = "/tmp/kivol-bench-XXXXXX";
    if (!::mkdtemp(path))
        throw std::runtime_error("no state directory");
    path_ = path;
}

StateDirectory::~StateDirectory()
{
    const std::string command = "rm -rf '" + path_ + "'";
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "(could not remove %s)\n", path_.c_str());
}

std::unique_ptr<ChildProgram> StartKivol(int port, int tables, const std::vector<std::string>& extra)
{
    const std::string path = ProgramDirectory() + "/kivolsrv";
    std::vector<std::string> arguments{"--headless", "--port", std::to_string(port), "--grace", "0",
                                       "--listen", "127.0.0.1"};
    if (ProgramMentions(path, "max-tables"))
        arguments.insert(arguments.end(), {"--max-tables", std::to_string(tables + 10)});
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    auto server = std::make_unique<ChildProgram>(path, arguments);
    if (!server->AwaitListening(port, 20))
        throw std::runtime_error("kivolsrv did not start listening (" + path + ")");
    return server;
}

std::string HttpGet(int port, const std::string& path)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    const sockaddr_in address = LoopbackAddress(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        throw std::runtime_error("no answer on port " + std::to_string(port));
    }
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    std::string answer;
    char chunk[65536];
    for (ssize_t n; (n = ::recv(fd, chunk, sizeof chunk, 0)) > 0;)
        answer.append(chunk, static_cast<std::size_t>(n));
    ::close(fd);
    const std::size_t body = answer.find("\r\n\r\n");
    if (body == std::string::npos)
        throw std::runtime_error("no HTTP answer for " + path);
    return answer.substr(body + 4);
}

double PrometheusValue(const std::string& metrics, const std::string& series)
{
    std::istringstream lines(metrics);
    for (std::string line; std::getline(lines, line);)
        if (line.size() > series.size() && line.compare(0, series.size(), series) == 0 && line[series.size()] == ' ')
            return std::strtod(line.c_str() + series.size() + 1, nullptr);
    return 0;
}

}  // namespace load
