// Decision time of the hit solver on random fields of 4, 6, 8 and 12 cards
// (drawn without replacement from the 54, targets uniform 1..200, the game's
// rule: any non-empty subset), beside a plain recursive search on the same
// fields in the same run: pick two values, combine them every way, recurse,
// with a memo of the multisets of values already seen. Both stop at the same
// time limit. Printed per field size: median, p99 and max decision time, and
// the share decided (yes or no) within the limit. Decision time is wall-clock
// time, what a player waits; the p99 of the thread's CPU time beside it tells
// the search's own cost from time lost to other processes on a busy machine.
//
// Argument: the number of fields per size (default 1000).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "solver/card_values.h"
#include "solver/rational.h"
#include "solver/solver.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds Limit{50};

struct Problem {
    std::vector<int> cards;
    std::int64_t target;
};

std::vector<Problem> RandomProblems(int cardCount, int fieldCount, std::mt19937& random)
{
    std::vector<int> deck(54);
    for (int i = 0; i < 54; ++i)
        deck[i] = i + 1;
    std::uniform_int_distribution<std::int64_t> targets(1, 200);
    std::vector<Problem> problems;
    for (int i = 0; i < fieldCount; ++i) {
        std::shuffle(deck.begin(), deck.end(), random);
        problems.push_back({{deck.begin(), deck.begin() + cardCount}, targets(random)});
    }
    return problems;
}

// The yardstick: depth first over the lists of values still to combine.
class PlainSearch {
public:
    PlainSearch(Solver::Rational target, Clock::time_point deadline) : target_(target), deadline_(deadline) {}

    // True when some value reachable from values equals the target; throws
    // Clock::time_point past the deadline.
    bool Reaches(std::vector<Solver::Rational> values)
    {
        if (std::find(values.begin(), values.end(), target_) != values.end())
            return true;
        std::sort(values.begin(), values.end(), [](auto a, auto b) {
            return a.num != b.num ? a.num < b.num : a.den < b.den;
        });
        if (!seen_.insert(KeyOf(values)).second)
            return false;
        if ((++visits_ & 0xFF) == 0 && Clock::now() > deadline_)
            throw deadline_;
        for (std::size_t i = 0; i < values.size(); ++i)
            for (std::size_t j = i + 1; j < values.size(); ++j) {
                std::vector<Solver::Rational> rest;
                for (std::size_t k = 0; k < values.size(); ++k)
                    if (k != i && k != j)
                        rest.push_back(values[k]);
                const Solver::Rational a = values[i], b = values[j];
                for (const auto& made : {Solver::Add(a, b), Solver::Subtract(a, b), Solver::Subtract(b, a),
                                         Solver::Multiply(a, b), Solver::Divide(a, b), Solver::Divide(b, a)}) {
                    if (!made)
                        continue;
                    rest.push_back(*made);
                    if (Reaches(rest))
                        return true;
                    rest.pop_back();
                }
            }
        return false;
    }

private:
    static std::string KeyOf(const std::vector<Solver::Rational>& values)
    {
        return {reinterpret_cast<const char*>(values.data()), values.size() * sizeof(Solver::Rational)};
    }

    Solver::Rational target_;
    Clock::time_point deadline_;
    std::unordered_set<std::string> seen_;
    unsigned visits_ = 0;
};

// Every way of giving the jokers values, each searched in turn.
Solver::Verdict PlainSolve(const Problem& problem)
{
    std::vector<Solver::Rational> values;
    int jokers = 0;
    for (const int card : problem.cards) {
        const int value = Solver::CardValue(card);
        if (value == Solver::JokerValue)
            ++jokers;
        else
            values.push_back(Solver::Integer(value));
    }
    PlainSearch search(Solver::Integer(problem.target), Clock::now() + Limit);
    std::function<bool(int)> assign = [&](int left) {
        if (left == 0)
            return search.Reaches(values);
        for (int v = Solver::MinCardValue; v <= Solver::MaxCardValue; ++v) {
            values.push_back(Solver::Integer(v));
            const bool reached = assign(left - 1);
            values.pop_back();
            if (reached)
                return true;
        }
        return false;
    };
    try {
        return assign(jokers) ? Solver::Verdict::Yes : Solver::Verdict::No;
    } catch (Clock::time_point) {
        return Solver::Verdict::Undecided;
    }
}

double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Summary {
    double medianMs, p99Ms, maxMs, cpuP99Ms, decidedShare;
    int yes, no;
};

double Percentile(std::vector<double> times, double q)
{
    std::sort(times.begin(), times.end());
    return times[static_cast<std::size_t>(q * (times.size() - 1))];
}

template <typename Decide>
Summary Measure(const std::vector<Problem>& problems, Decide&& decide)
{
    std::vector<double> times;
    std::vector<double> cpuTimes;
    int yes = 0, no = 0;
    for (const Problem& problem : problems) {
        const auto start = Clock::now();
        const double cpuStart = ThreadCpuMs();
        const Solver::Verdict verdict = decide(problem);
        cpuTimes.push_back(ThreadCpuMs() - cpuStart);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        yes += verdict == Solver::Verdict::Yes;
        no += verdict == Solver::Verdict::No;
    }
    return {Percentile(times, 0.5), Percentile(times, 0.99), Percentile(times, 1.0), Percentile(cpuTimes, 0.99),
            double(yes + no) / times.size(), yes, no};
}

void Print(const char* who, int cards, const Summary& s)
{
    std::printf("%-8s %5d %10.4f %10.4f %10.3f %10.4f %9.2f%% %6d %6d\n", who, cards, s.medianMs, s.p99Ms, s.maxMs,
                s.cpuP99Ms, 100 * s.decidedShare, s.yes, s.no);
}

}  // namespace

int main(int argc, char** argv)
{
    // A first argument that is not a count (another benchmark's option) is ignored.
    const int fields = argc > 1 && std::atoi(argv[1]) > 0 ? std::atoi(argv[1]) : 1000;
    std::mt19937 random(20261207);
    std::printf("%d random fields per size, targets 1..200, any subset, limit %lld ms\n", fields,
                static_cast<long long>(Limit.count()));
    std::printf("%-8s %5s %10s %10s %10s %10s %10s %6s %6s\n", "search", "cards", "median ms", "p99 ms", "max ms",
                "cpu p99 ms", "decided", "yes", "no");
    for (const int cards : {4, 6, 8, 12}) {
        const std::vector<Problem> problems = RandomProblems(cards, fields, random);
        const Summary solver = Measure(problems, [](const Problem& p) {
            return Solver::Solve(p.cards, p.target, Solver::Rule::AnySubset, Limit).verdict;
        });
        const Summary plain = Measure(problems, PlainSolve);
        Print("solver", cards, solver);
        Print("plain", cards, plain);
        std::printf("%-8s %5d %10.1fx %9.1fx %9.1fx %9.1fx   (plain / solver)\n", "ratio", cards,
                    plain.medianMs / solver.medianMs, plain.p99Ms / solver.p99Ms, plain.maxMs / solver.maxMs,
                    plain.cpuP99Ms / solver.cpuP99Ms);
    }
    return 0;
}
