#include "bench/load/processor_pinning.h"

#include <sched.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace load {

namespace {

// The processors this process could run on at its start; the last of them is
// the server's.
const cpu_set_t& StartingProcessors()
{
    static const cpu_set_t processors = [] {
        cpu_set_t set;
        CPU_ZERO(&set);
        if (sched_getaffinity(0, sizeof set, &set) != 0)
            CPU_ZERO(&set);
        return set;
    }();
    return processors;
}

int ServerProcessor()
{
    const cpu_set_t& processors = StartingProcessors();
    if (CPU_COUNT(&processors) < 2)
        return -1;
    for (int cpu = CPU_SETSIZE - 1; cpu >= 0; --cpu)
        if (CPU_ISSET(cpu, &processors))
            return cpu;
    return -1;
}

// The server's processor alone in a set; false where there is none.
bool ServerProcessorAlone(cpu_set_t& one)
{
    const int server = ServerProcessor();
    CPU_ZERO(&one);
    if (server < 0)
        return false;
    CPU_SET(server, &one);
    return true;
}

void PinEveryThread(pid_t pid, const cpu_set_t& processors)
{
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error))
        sched_setaffinity(static_cast<pid_t>(std::stol(task.path().filename().string())), sizeof processors,
                          &processors);
}

}  // namespace

bool KeepDriverOffServerProcessor()
{
    const int server = ServerProcessor();
    if (server < 0)
        return false;
    cpu_set_t others = StartingProcessors();
    CPU_CLR(server, &others);
    PinEveryThread(::getpid(), others);
    return true;
}

void PinToServerProcessor(pid_t pid)
{
    cpu_set_t one;
    if (ServerProcessorAlone(one))
        PinEveryThread(pid, one);
}

}  // namespace load
