#include "server/log_output.h"

#include <sys/stat.h>

#include <cinttypes>
#include <cstdlib>
#include <string_view>

bool IsJournalStream(int handle, const char* journalStream)
{
    std::uintmax_t device = 0, inode = 0;
    if (!journalStream || std::sscanf(journalStream, "%" SCNuMAX ":%" SCNuMAX, &device, &inode) != 2)
        return false;
    struct stat status {};
    return fstat(handle, &status) == 0 && status.st_dev == device && status.st_ino == inode;
}

std::string LogLineText(const QString& line, TLogPriority priority, bool journal)
{
    std::string text;
    if (journal) {
        text += '<';
        text += std::to_string(static_cast<int>(priority));
        text += '>';
    }
    for (const char c : line.toUtf8())
        text += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    text += '\n';
    return text;
}

namespace {

// IsJournalStream for the stream, asked again only when its handle or
// JOURNAL_STREAM changed since the last line: a line costs no fstat.
bool GoesToJournal(std::FILE* stream)
{
    struct TKnown {
        int handle = -1;
        std::string journalStream;
        bool journal = false;
    };
    static thread_local TKnown known;
    const int handle = fileno(stream);
    const char* variable = std::getenv("JOURNAL_STREAM");
    const std::string_view journalStream = variable ? variable : "";
    if (handle != known.handle || journalStream != known.journalStream)
        known = {handle, std::string(journalStream), IsJournalStream(handle, variable)};
    return known.journal;
}

}  // namespace

void WriteLogLine(std::FILE* stream, const QString& line, TLogPriority priority)
{
    const bool journal = GoesToJournal(stream);
    const std::string text = LogLineText(line, priority, journal);
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}
