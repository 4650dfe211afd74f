#include "bench/load/redis_server.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace load {

namespace {

const char* const RedisServerPath = "/usr/bin/redis-server";

}  // namespace

RedisServer::RedisServer(int port, int clients)
{
    char directory[] = "/tmp/kivol-bench-redis-XXXXXX";
    if (!::mkdtemp(directory))
        throw std::runtime_error("no directory for redis-server");
    directory_ = directory;
    std::ofstream config(directory_ + "/redis.conf");
    config << "port " << port << "\nbind 127.0.0.1\nprotected-mode no\nsave \"\"\nappendonly no\ndaemonize no\n"
           << "logfile \"\"\n"
           << "maxclients " << clients << "\ndir " << directory_ << "\n";
    config.close();
    program_ = std::make_unique<ChildProgram>(RedisServerPath, std::vector<std::string>{directory_ + "/redis.conf"});
    if (!program_->AwaitListening(port, 20))
        throw std::runtime_error(std::string("redis-server did not start listening (") + RedisServerPath + ")");
}

RedisServer::~RedisServer()
{
    program_.reset();
    ::unlink((directory_ + "/redis.conf").c_str());
    ::rmdir(directory_.c_str());
}

}  // namespace load
