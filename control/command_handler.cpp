#include "control/command_handler.h"

namespace Control {

std::string AuditLine(const TControlRequest& request)
{
    std::string line = "control: uid " + std::to_string(request.Uid) + ':';
    for (const std::string& argument : request.Arguments) {
        if (!argument.empty() && argument.find_first_of(" \"\\\t\n") == std::string::npos) {
            line += ' ' + argument;
            continue;
        }
        line += " \"";
        for (char c : argument)
            line += c == '"' || c == '\\' ? std::string{'\\', c} : c == '\n' ? std::string("\\n") : std::string{c};
        line += '"';
    }
    return line;
}

TControlHandler CommandHandler(TCommandHandler handle, std::function<void(const std::string&)> log)
{
    return [handle = std::move(handle), log = std::move(log)](const TControlRequest& request) {
        log(AuditLine(request));
        const TParsedControlCommand parsed = ParseControlCommand(request.Arguments);
        if (!parsed.Command)
            return TControlAnswer::Refused(parsed.Error);
        return handle(*parsed.Command, request);
    };
}

}  // namespace Control
