#include "bench/load/child_program.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "bench/load/ipv4_address.h"

namespace load {

ChildProgram::ChildProgram(const std::string& path, const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ < 0)
        throw std::runtime_error("cannot start " + path);
    if (pid_ == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        ::dup2(nowhere, STDOUT_FILENO);
        ::execv(path.c_str(), argv.data());
        std::fprintf(stderr, "load_bench: cannot run %s: %s\n", path.c_str(), std::strerror(errno));
        ::_exit(127);
    }
}

ChildProgram::~ChildProgram()
{
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
}

bool ChildProgram::AwaitListening(int port, double seconds) const
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    const sockaddr_in address = LoopbackAddress(port);
    while (std::chrono::steady_clock::now() < giveUp) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_)
            return false;
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (connected)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

namespace {

// The scheduler's own count of the time every thread of the process has run,
// to the nanosecond, where the kernel offers it (/proc/PID/task/TID/sched);
// -1 where it does not.
double ScheduledSeconds(pid_t pid)
{
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    double milliseconds = 0;
    bool found = false;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream sched(task.path() / "sched");
        for (std::string line; std::getline(sched, line);)
            if (line.rfind("se.sum_exec_runtime", 0) == 0) {
                milliseconds += std::stod(line.substr(line.find(':') + 1));
                found = true;
                break;
            }
    }
    return found && !error ? milliseconds / 1000 : -1;
}

}  // namespace

double CpuSeconds(pid_t pid)
{
    // The user and system times below are counted in clock ticks of 10 ms,
    // too coarse for a server that uses a hundredth of a processor.
    if (const double scheduled = ScheduledSeconds(pid); scheduled >= 0)
        return scheduled;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // The command name in parentheses may hold spaces: count fields after it.
    const auto close = line.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

long ResidentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

int FreeLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = LoopbackAddress(0);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("no free loopback port");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

}  // namespace load
