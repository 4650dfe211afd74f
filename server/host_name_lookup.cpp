#include "server/host_name_lookup.h"

#include <netdb.h>
#include <sys/socket.h>

#include <QMetaObject>
#include <QObject>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/deadline_heap.h"

// What the workers share with the lookup object; it outlives the object for
// as long as a worker still runs.
struct THostNameLookup::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<AnsiString> queue;  // addresses
    LookupFunction lookup;
    // Where answers go; null once the lookup object is being destroyed.
    THostNameLookup* owner = nullptr;
    QObject* context = nullptr;
    int threads = 0;
    int idle = 0;

    static void Work(const std::shared_ptr<Shared>& shared);
};

void THostNameLookup::Shared::Work(const std::shared_ptr<Shared>& shared)
{
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->wake.wait(lock, [&] { return !shared->owner || !shared->queue.empty(); });
        if (!shared->owner)
            return;
        const AnsiString address = shared->queue.front();
        shared->queue.pop_front();
        --shared->idle;
        lock.unlock();
        AnsiString name;
        try {
            name = shared->lookup(address);
        } catch (...) {
            name.clear();  // a failed lookup is one without a name
        }
        lock.lock();
        ++shared->idle;
        if (shared->owner) {
            THostNameLookup* owner = shared->owner;
            QMetaObject::invokeMethod(
                shared->context, [owner, address, name] { owner->Answered(address, name); }, Qt::QueuedConnection);
        }
    }
}

THostNameLookup::THostNameLookup(LookupFunction lookup, std::chrono::milliseconds limit,
                                 std::chrono::milliseconds keep)
    : shared_(std::make_shared<Shared>()), limit_(limit), context_(std::make_unique<QObject>()), keep_(keep)
{
    shared_->lookup = std::move(lookup);
    shared_->owner = this;
    shared_->context = context_.get();
}

THostNameLookup::~THostNameLookup()
{
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->owner = nullptr;
        shared_->context = nullptr;
    }
    shared_->wake.notify_all();
    // Deleting the context drops the answers already posted to it.
    context_.reset();
}

void THostNameLookup::Find(const AnsiString& address, Answer answer)
{
    if (const AnsiString* name = KeptName(address)) {
        QMetaObject::invokeMethod(
            context_.get(), [answer = std::move(answer), name = *name] { answer(name); }, Qt::QueuedConnection);
        return;
    }
    const std::uint64_t id = nextId_++;
    auto limit = std::make_unique<TDeadline>([this, id] { Give(id, {}); });
    limit->Start(limit_);
    waiting_.emplace(id, TWaiting{std::move(answer), std::move(limit)});
    std::vector<std::uint64_t>& askers = askers_[address];
    askers.push_back(id);
    if (askers.size() > 1)
        return;  // its lookup runs or queues already
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->queue.push_back(address);
        // A worker for every queued lookup, as far as the limit allows: an
        // idle worker that has not taken its job yet counts as busy.
        if (static_cast<int>(shared_->queue.size()) > shared_->idle && shared_->threads < Workers) {
            ++shared_->threads;
            ++shared_->idle;
            std::thread([shared = shared_] { Shared::Work(shared); }).detach();
        }
    }
    shared_->wake.notify_one();
}

void THostNameLookup::Give(std::uint64_t id, const AnsiString& name)
{
    // The first of the answer and the time limit decides; the other finds
    // nothing waiting.
    const auto it = waiting_.find(id);
    if (it == waiting_.end())
        return;
    const Answer answer = std::move(it->second.answer);
    waiting_.erase(it);
    answer(name);
}

void THostNameLookup::Answered(const AnsiString& address, const AnsiString& name)
{
    const auto found = askers_.find(address);
    if (found == askers_.end())
        return;
    const std::vector<std::uint64_t> askers = std::move(found->second);
    askers_.erase(found);
    Keep(address, name);
    for (const std::uint64_t id : askers)
        Give(id, name);
}

const AnsiString* THostNameLookup::KeptName(const AnsiString& address)
{
    const auto now = std::chrono::steady_clock::now();
    while (!keptOrder_.empty() && keptOrder_.front().first + keep_ <= now)
        ForgetOldestKept();
    const auto it = kept_.find(address);
    return it != kept_.end() ? &it->second.name : nullptr;
}

void THostNameLookup::Keep(const AnsiString& address, const AnsiString& name)
{
    if (keep_ <= std::chrono::milliseconds::zero())
        return;
    const auto now = std::chrono::steady_clock::now();
    kept_[address] = {name, now};
    keptOrder_.emplace_back(now, address);
    while (keptOrder_.size() > MostKept)
        ForgetOldestKept();
}

void THostNameLookup::ForgetOldestKept()
{
    const auto& [given, address] = keptOrder_.front();
    const auto it = kept_.find(address);
    if (it != kept_.end() && it->second.given == given)  // not given again since
        kept_.erase(it);
    keptOrder_.pop_front();
}

AnsiString THostNameLookup::ReverseLookup(const AnsiString& address)
{
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(address.c_str(), nullptr, &hints, &found) != 0 || !found)
        return {};
    char host[NI_MAXHOST] = {};
    const int result = getnameinfo(found->ai_addr, found->ai_addrlen, host, sizeof host, nullptr, 0, NI_NAMEREQD);
    freeaddrinfo(found);
    return result == 0 ? AnsiString(host) : AnsiString();
}
