#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Runs the registered benchmarks with the console reporter and then prints,
// for each (candidate, baseline) pair, the candidate's items per second as a
// ratio of the baseline's, both measured in this same run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const auto& run : runs) {
            const auto it = run.counters.find("items_per_second");
            if (it != run.counters.end())
                rates_[run.benchmark_name()] = it->second;
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios(const std::vector<std::pair<std::string, std::string>>& pairs) const
    {
        for (const auto& [candidate, baseline] : pairs) {
            const auto c = rates_.find(candidate);
            const auto b = rates_.find(baseline);
            if (c != rates_.end() && b != rates_.end() && b->second > 0)
                std::printf("ratio %s / %s = %.2f\n", candidate.c_str(), baseline.c_str(), c->second / b->second);
        }
    }

private:
    std::map<std::string, double> rates_;
};

inline int RunWithRatios(int argc, char** argv, const std::vector<std::pair<std::string, std::string>>& pairs)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios(pairs);
    benchmark::Shutdown();
    return 0;
}
