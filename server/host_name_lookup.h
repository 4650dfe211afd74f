#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/ansi_string.h"

class QObject;
class TDeadline;

// Finds the host names of peer addresses on worker threads, so that a slow
// name service never stalls the event thread, and gives each answer on the
// thread that asked, from its event loop. At most Workers lookups run at a
// time; the others queue. One address is looked up once at a time: whoever
// asks for it while its lookup runs or queues shares that lookup's answer
// (many connections from one address, a slow name service, would otherwise
// queue a lookup each and see most of them run out of time). An answer the
// name service gave is kept for a while, so that thousands of players joining
// from a few addresses (a school, a carrier's gateway) ask it once per address
// and have their log lines written as they join, not seconds later.
class THostNameLookup {
public:
    // A blocking lookup: the host name of a numeric address, empty when none
    // is found. It runs on a worker thread, so it must not touch anything the
    // event thread uses.
    using LookupFunction = std::function<AnsiString(const AnsiString& address)>;
    using Answer = std::function<void(const AnsiString& name)>;

    static constexpr int Workers = 4;
    static constexpr std::chrono::milliseconds DefaultLimit{5000};
    static constexpr std::chrono::milliseconds DefaultKeep{60000};
    // The most answers kept; beyond it the oldest goes first.
    static constexpr std::size_t MostKept = 4096;

    explicit THostNameLookup(LookupFunction lookup = ReverseLookup, std::chrono::milliseconds limit = DefaultLimit,
                             std::chrono::milliseconds keep = DefaultKeep);
    // Answers not given yet are dropped; a lookup still running finishes on
    // its worker and is forgotten.
    ~THostNameLookup();
    THostNameLookup(const THostNameLookup&) = delete;
    THostNameLookup& operator=(const THostNameLookup&) = delete;

    // answer comes exactly once, from the event loop, never inside this call:
    // with the name, or empty when the lookup found none, failed or took
    // longer than the limit.
    void Find(const AnsiString& address, Answer answer);

    // The system's reverse lookup (getnameinfo) of an IPv4 or IPv6 address.
    static AnsiString ReverseLookup(const AnsiString& address);

private:
    struct Shared;
    // An answer still owed and the end of its time limit.
    struct TWaiting {
        Answer answer;
        std::unique_ptr<TDeadline> limit;
    };
    void Give(std::uint64_t id, const AnsiString& name);
    // A worker's answer for every asker of the address since its lookup began.
    void Answered(const AnsiString& address, const AnsiString& name);
    // The kept answer for address, if there is one still fresh; drops the
    // answers that are not.
    const AnsiString* KeptName(const AnsiString& address);
    void Keep(const AnsiString& address, const AnsiString& name);
    void ForgetOldestKept();

    std::shared_ptr<Shared> shared_;
    std::chrono::milliseconds limit_;
    std::unique_ptr<QObject> context_;
    std::uint64_t nextId_ = 0;
    std::map<std::uint64_t, TWaiting> waiting_;
    // The askers of each address whose lookup runs or queues (some may have
    // had their answer from the time limit already).
    std::map<AnsiString, std::vector<std::uint64_t>> askers_;
    struct TKeptName {
        AnsiString name;
        std::chrono::steady_clock::time_point given;
    };
    std::chrono::milliseconds keep_;
    // Answers given by the name service by address, and the addresses in the
    // order their answers were given, oldest first (an address given again
    // appears twice; only its newest entry forgets it).
    std::unordered_map<AnsiString, TKeptName> kept_;
    std::deque<std::pair<std::chrono::steady_clock::time_point, AnsiString>> keptOrder_;
};
