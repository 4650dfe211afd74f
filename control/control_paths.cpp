#include "control/control_paths.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

namespace Control {

namespace {

std::string Variable(const std::function<const char*(const char*)>& environment, const char* name)
{
    const char* value = environment(name);
    return value ? value : "";
}

std::string Errno(const std::string& what, int error)
{
    return what + ": " + std::strerror(error);
}

}  // namespace

std::string DefaultControlPath(int port, uid_t uid, const std::function<const char*(const char*)>& environment)
{
    return ControlPathCandidates(port, uid, environment).front();
}

std::vector<std::string> ControlPathCandidates(int port, uid_t uid,
                                               const std::function<const char*(const char*)>& environment)
{
    std::vector<std::string> candidates;
    const std::string runtime = Variable(environment, "RUNTIME_DIRECTORY");
    if (!runtime.empty())
        candidates.push_back(runtime.substr(0, runtime.find(':')) + "/control");
    const std::string file = "/control-" + std::to_string(port);
    const std::string xdg = Variable(environment, "XDG_RUNTIME_DIR");
    if (!xdg.empty())
        candidates.push_back(xdg + "/kivol" + file);
    candidates.push_back("/tmp/kivol-" + std::to_string(uid) + file);
    const std::string service = "/run/kivol/control";
    if (candidates.front() != service)
        candidates.push_back(service);
    return candidates;
}

std::string MakeControlDirectory(const std::string& path, std::optional<gid_t> group)
{
    const std::filesystem::path directory = std::filesystem::path(path).parent_path();
    if (directory.empty())
        return {};
    struct stat info {};
    if (::lstat(directory.c_str(), &info) != 0) {
        std::error_code error;
        std::filesystem::create_directories(directory.parent_path(), error);
        if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST)
            return Errno(directory.string(), errno);
        if (::lstat(directory.c_str(), &info) != 0)
            return Errno(directory.string(), errno);
        if (group && (::chown(directory.c_str(), static_cast<uid_t>(-1), *group) != 0 || ::chmod(directory.c_str(), 0710) != 0))
            return Errno(directory.string() + ": cannot open it to the control group", errno);
        return {};
    }
    if (directory.parent_path() == "/tmp"
        && (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() || (info.st_mode & 0027) != 0))
        return directory.string() + ": not a folder of this user closed to others";
    return {};
}

std::optional<gid_t> GroupId(const std::string& name)
{
    std::vector<char> buffer(16384);
    group entry{};
    group* found = nullptr;
    if (::getgrnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    return found->gr_gid;
}

}  // namespace Control
