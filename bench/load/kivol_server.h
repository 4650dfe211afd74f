#pragma once

#include <memory>
#include <string>
#include <vector>

#include "bench/load/child_program.h"

// The release kivolsrv from beside the benchmark program, as users run it.
namespace load {

// A throwaway state directory for one server (one directory serves one
// server at a time), removed with what the server left in it.
class StateDirectory {
public:
    StateDirectory();
    ~StateDirectory();
    StateDirectory(const StateDirectory&) = delete;
    StateDirectory& operator=(const StateDirectory&) = delete;
    const std::string& Path() const { return path_; }
    std::string Database() const { return path_ + "/kivol.db"; }

private:
    std::string path_;
};

// Starts kivolsrv headless on 127.0.0.1:port with no grace, room for the
// given number of tables and the extra arguments; returns once it listens.
std::unique_ptr<ChildProgram> StartKivol(int port, int tables, const std::vector<std::string>& extra = {});

// The body of an HTTP GET of path from 127.0.0.1:port; throws when there is
// no answer within a few seconds.
std::string HttpGet(int port, const std::string& path);

// The value of an unlabelled series in Prometheus text; 0 when it is absent.
double PrometheusValue(const std::string& metrics, const std::string& series);

}  // namespace load
