// kivolctl: sends one command to a running kivolsrv through its control
// socket and prints the answer. Exit status: 0 done, 1 refused by the
// server, 2 a bad command line (nothing is sent), 3 no server answers.
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "control/control_client.h"
#include "control/control_command.h"
#include "control/control_paths.h"

namespace {

constexpr int RefusedStatus = 1;
constexpr int BadCommandLineStatus = 2;
constexpr int NoServerStatus = 3;
constexpr int DefaultGamePort = 16523;
constexpr int AnswerTimeoutMs = 15000;

std::string Help()
{
    return "Usage: kivolctl [--control PATH | --port N] [--json] COMMAND [ARGS]\n"
           "Sends one command to a running kivolsrv through its control socket and prints the answer.\n"
           "\n"
           "Options:\n"
           "  --control PATH  the server's control socket\n"
           "  --port N        find the control socket of the server on game port N (default 16523)\n"
           "  --json          print the answer as JSON: {\"ok\": ..., \"text\": ..., \"json\": ...}\n"
           "  --help          show this help\n"
           "  --version       show the version\n"
           "\n"
           "Commands:\n"
           + Control::ControlCommandsHelp()
           + "\n"
             "Exit status: 0 done, 1 refused by the server (the reason on standard error),\n"
             "2 a bad command line, 3 no server answers.\n";
}

int BadCommandLine(const std::string& message)
{
    std::fprintf(stderr, "kivolctl: %s\nTry 'kivolctl --help' for more information.\n", message.c_str());
    return BadCommandLineStatus;
}

bool Exists(const std::string& path)
{
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// The first default path where a socket file exists, else the first of them.
std::string FindControlPath(int port)
{
    const std::vector<std::string> candidates = Control::ControlPathCandidates(port, ::getuid());
    for (const std::string& path : candidates)
        if (Exists(path))
            return path;
    return candidates.front();
}

struct TCommandLine {
    std::string ControlPath;
    int Port = DefaultGamePort;
    bool Json = false;
    std::vector<std::string> Command;
};

// The options before the command; an empty text when they are good.
std::string ReadCommandLine(const std::vector<std::string>& arguments, TCommandLine& line)
{
    bool portGiven = false;
    std::size_t i = 0;
    for (; i < arguments.size() && arguments[i].compare(0, 2, "--") == 0; ++i) {
        const std::string& option = arguments[i];
        if (option == "--json") {
            line.Json = true;
            continue;
        }
        if (option != "--control" && option != "--port")
            return "unknown option '" + option + "'";
        if (i + 1 == arguments.size())
            return option + " needs a value";
        const std::string& value = arguments[++i];
        if (option == "--control") {
            line.ControlPath = value;
            continue;
        }
        std::size_t end = 0;
        try {
            line.Port = std::stoi(value, &end);
        } catch (const std::exception&) {
            end = 0;
        }
        if (end != value.size() || line.Port < 1 || line.Port > 65535)
            return "--port takes a whole number from 1 to 65535, not '" + value + "'";
        portGiven = true;
    }
    if (portGiven && !line.ControlPath.empty())
        return "--control and --port exclude each other";
    line.Command = Control::WithAbsolutePaths({arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.end()});
    return {};
}

void PrintText(std::FILE* stream, const std::string& text)
{
    std::fputs(text.c_str(), stream);
    if (!text.empty() && text.back() != '\n')
        std::fputc('\n', stream);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (!arguments.empty() && (arguments[0] == "--help" || arguments[0] == "--version")) {
        std::fputs(arguments[0] == "--help" ? Help().c_str() : "kivolctl " KIVOL_VERSION "\n", stdout);
        return 0;
    }
    TCommandLine line;
    if (const std::string problem = ReadCommandLine(arguments, line); !problem.empty())
        return BadCommandLine(problem);
    const Control::TParsedControlCommand parsed = Control::ParseControlCommand(line.Command);
    if (!parsed.Command)
        return BadCommandLine(parsed.Error);

    const std::string path = line.ControlPath.empty() ? FindControlPath(line.Port) : line.ControlPath;
    std::string error;
    const std::optional<Control::TControlAnswer> answer =
        Control::AskControlServer(path, line.Command, AnswerTimeoutMs, error);
    if (!answer) {
        std::fprintf(stderr, "kivolctl: no server answers: %s\n", error.c_str());
        return NoServerStatus;
    }
    if (line.Json) {
        const QJsonObject object{{QStringLiteral("ok"), answer->Ok},
                                 {QStringLiteral("text"), QString::fromStdString(answer->Text)},
                                 {QStringLiteral("json"), answer->Json}};
        std::fputs(QJsonDocument(object).toJson(QJsonDocument::Indented).constData(), stdout);
    } else if (answer->Ok) {
        PrintText(stdout, answer->Text);
    }
    if (!answer->Ok) {
        std::fputs("kivolctl: ", stderr);
        PrintText(stderr, answer->Text);
        return RefusedStatus;
    }
    return 0;
}
