#pragma once

#include <memory>
#include <string>
#include <sys/types.h>

#include "bench/load/child_program.h"

// Debian's redis-server, the yardstick for publish and subscribe that the
// load scenarios compare the game server with.
namespace load {

// A redis-server with a throwaway configuration: no persistence, loopback
// only, and no protected mode, which would refuse every client but
// 127.0.0.1 (the idle players come from 127.0.0.2 too). Returns once it
// listens on 127.0.0.1:port with room for the given number of clients.
class RedisServer {
public:
    RedisServer(int port, int clients);
    ~RedisServer();
    RedisServer(const RedisServer&) = delete;
    RedisServer& operator=(const RedisServer&) = delete;

    pid_t Pid() const { return program_->Pid(); }

private:
    std::string directory_;
    std::unique_ptr<ChildProgram> program_;
};

}  // namespace load
