#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// Programs the benchmarks start beside them (the game server, a yardstick
// server), and what the kernel says about any process's use of the machine.
namespace load {

// A program run as a child process, its standard output discarded. It is
// killed when this object goes, and also when the benchmark itself dies,
// so that no child outlives a failed run.
class ChildProgram {
public:
    ChildProgram(const std::string& path, const std::vector<std::string>& arguments);
    ~ChildProgram();
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    pid_t Pid() const { return pid_; }
    // Waits (up to seconds) until something accepts connections on
    // 127.0.0.1:port; false if the child ended or the time ran out.
    bool AwaitListening(int port, double seconds) const;

private:
    pid_t pid_ = -1;
};

// The process's CPU time so far, in seconds: what the scheduler counts for
// its threads where the kernel shows it (a thread that has ended no longer
// counts), else the user and system time of /proc/PID/stat.
double CpuSeconds(pid_t pid);
// The process's resident set size in KiB, -1 when it cannot be read.
long ResidentKiB(pid_t pid);
// A TCP port on 127.0.0.1 that was free a moment ago.
int FreeLoopbackPort();

}  // namespace load
