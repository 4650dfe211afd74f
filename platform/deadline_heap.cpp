#include "platform/deadline_heap.h"

#include <QTimer>
#include <algorithm>
#include <limits>

#include "platform/application.h"

bool TDeadlineHeap::Before(const TDeadlineEntry* a, const TDeadlineEntry* b)
{
    return a->When != b->When ? a->When < b->When : a->Order < b->Order;
}

void TDeadlineHeap::Set(std::size_t index, TDeadlineEntry* entry)
{
    heap_[index] = entry;
    entry->Index = index;
}

void TDeadlineHeap::SiftUp(std::size_t index)
{
    TDeadlineEntry* entry = heap_[index];
    while (index > 0) {
        const std::size_t parent = (index - 1) / 2;
        if (!Before(entry, heap_[parent]))
            break;
        Set(index, heap_[parent]);
        index = parent;
    }
    Set(index, entry);
}

void TDeadlineHeap::SiftDown(std::size_t index)
{
    TDeadlineEntry* entry = heap_[index];
    const std::size_t size = heap_.size();
    for (;;) {
        std::size_t child = 2 * index + 1;
        if (child >= size)
            break;
        if (child + 1 < size && Before(heap_[child + 1], heap_[child]))
            ++child;
        if (!Before(heap_[child], entry))
            break;
        Set(index, heap_[child]);
        index = child;
    }
    Set(index, entry);
}

void TDeadlineHeap::Place(TDeadlineEntry& entry, Clock::time_point when)
{
    entry.When = when;
    entry.Order = nextOrder_++;
    if (!entry.Placed()) {
        heap_.push_back(&entry);
        entry.Index = heap_.size() - 1;
        SiftUp(entry.Index);
        return;
    }
    // A new order number makes a moved entry the last of those due with it,
    // as if it had been started anew.
    SiftUp(entry.Index);
    SiftDown(entry.Index);
}

void TDeadlineHeap::Remove(TDeadlineEntry& entry)
{
    if (!entry.Placed())
        return;
    const std::size_t index = entry.Index;
    TDeadlineEntry* last = heap_.back();
    heap_.pop_back();
    entry.Index = TDeadlineEntry::NotPlaced;
    if (last == &entry)
        return;
    Set(index, last);
    SiftUp(index);
    SiftDown(last->Index);
}

TDeadlineEntry* TDeadlineHeap::TakeDue(Clock::time_point now)
{
    TDeadlineEntry* earliest = Earliest();
    if (!earliest || earliest->When > now)
        return nullptr;
    Remove(*earliest);
    return earliest;
}

// The heap of one thread and its one Qt timer. It exists while the thread
// has a deadline that was ever started: the first makes it, the last one
// destroyed ends it.
class TThreadDeadlines {
public:
    static TThreadDeadlines& OfThisThread()
    {
        if (!current_)
            current_ = new TThreadDeadlines;
        return *current_;
    }
    static std::size_t Pending() { return current_ ? current_->heap_.Size() : 0; }

    void Attach() { ++owners_; }
    void Detach(TDeadline& deadline)
    {
        Cancel(deadline);
        if (--owners_ == 0 && expiring_ == 0) {
            current_ = nullptr;
            delete this;
        }
    }
    void Start(TDeadline& deadline, TDeadline::Clock::time_point when)
    {
        heap_.Place(deadline, when);
        Arm();
    }
    void Cancel(TDeadline& deadline)
    {
        // The timer stays set to what was the earliest: firing early only
        // finds nothing due and sets it again.
        heap_.Remove(deadline);
    }

private:
    TThreadDeadlines()
    {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Expire(); });
    }

    // Sets the timer to the earliest deadline, rounding up so that nothing
    // fires before its time.
    void Arm()
    {
        const TDeadlineEntry* earliest = heap_.Earliest();
        if (!earliest) {
            timer_.stop();
            return;
        }
        if (timer_.isActive() && armedFor_ <= earliest->When)
            return;
        const auto wait = earliest->When - TDeadline::Clock::now();
        const auto ms = std::max<std::int64_t>(0, std::chrono::ceil<std::chrono::milliseconds>(wait).count());
        armedFor_ = earliest->When;
        timer_.start(static_cast<int>(std::min<std::int64_t>(ms, std::numeric_limits<int>::max())));
    }

    void Expire()
    {
        // An action may start, cancel or destroy any deadline, even the last
        // one, which must not end this object while it is still expiring.
        ++expiring_;
        const auto now = TDeadline::Clock::now();
        while (TDeadlineEntry* due = heap_.TakeDue(now)) {
            const std::function<void()> action = static_cast<TDeadline*>(due)->action_;
            if (action)
                DispatchSafely(action);
        }
        --expiring_;
        if (owners_ == 0) {
            current_ = nullptr;
            delete this;
            return;
        }
        Arm();
    }

    TDeadlineHeap heap_;
    QTimer timer_;
    TDeadline::Clock::time_point armedFor_{};
    int owners_ = 0;
    int expiring_ = 0;

    static thread_local TThreadDeadlines* current_;
};

thread_local TThreadDeadlines* TThreadDeadlines::current_ = nullptr;

TDeadline::TDeadline(std::function<void()> action) : action_(std::move(action)) {}

TDeadline::~TDeadline()
{
    if (thread_)
        thread_->Detach(*this);
}

void TDeadline::StartAt(Clock::time_point when)
{
    if (!thread_) {
        thread_ = &TThreadDeadlines::OfThisThread();
        thread_->Attach();
    }
    thread_->Start(*this, when);
}

void TDeadline::Cancel()
{
    if (thread_)
        thread_->Cancel(*this);
}

std::size_t TDeadline::PendingOnThisThread()
{
    return TThreadDeadlines::Pending();
}
