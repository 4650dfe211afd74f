#include "server/connection_log.h"

#include "platform/cp932.h"

namespace {
const char* const ConnectWord = "/接続  ";
const char* const DisconnectWord = "/切断  ";
}  // namespace

TConnectionLog::TConnectionLog(LogFunction addLog, std::unique_ptr<THostNameLookup> lookup)
    : addLog_(std::move(addLog)), lookup_(std::move(lookup))
{
}

void TConnectionLog::UseLookup(std::unique_ptr<THostNameLookup> lookup)
{
    lookup_ = std::move(lookup);
    open_.clear();
}

std::shared_ptr<TConnectionLog::Entry> TConnectionLog::Open(const AnsiString& address)
{
    auto entry = std::make_shared<Entry>();
    entry->address = address;
    lookup_->Find(address, [this, entry](const AnsiString& name) {
        entry->answered = true;
        entry->name = name;
        for (const char* word : entry->waiting)
            Write(word, *entry);
        entry->waiting.clear();
    });
    return entry;
}

void TConnectionLog::Connected(const void* connection, const AnsiString& address)
{
    const auto entry = Open(address);
    entry->waiting.push_back(ConnectWord);
    open_[connection] = entry;
}

void TConnectionLog::Disconnected(const void* connection, const AnsiString& address)
{
    const auto it = open_.find(connection);
    const auto entry = it != open_.end() ? it->second : Open(address);
    if (it != open_.end())
        open_.erase(it);
    if (entry->answered)
        Write(DisconnectWord, *entry);
    else
        entry->waiting.push_back(DisconnectWord);
}

void TConnectionLog::Write(const char* utf8Word, const Entry& entry)
{
    if (addLog_)
        addLog_(Cp932::FromUtf8(utf8Word) + entry.name + "[" + entry.address + "]");
}
