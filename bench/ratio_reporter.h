#pragma once
// Console reporter that also keeps the real time per iteration of every benchmark, so a program can
// print the ratio of two figures measured in the same run. With --benchmark_repetitions=N each figure
// is that of the fastest repetition: on a busy machine it is the one least disturbed.
#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zeq::bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !run.error_occurred) {
                const double seconds = run.real_accumulated_time / double(run.iterations);
                const auto [entry, added] = seconds_.emplace(run.benchmark_name(), seconds);
                if (!added && seconds < entry->second) entry->second = seconds;
            }
        ConsoleReporter::ReportRuns(runs);
    }

    // Time of `measured` divided by that of `reference` (names as reported, e.g.
    // "BM_ImportFile/real_time"); none when either did not run.
    std::optional<double> ratio(const std::string& measured, const std::string& reference) const {
        const auto a = seconds_.find(measured);
        const auto b = seconds_.find(reference);
        if (a == seconds_.end() || b == seconds_.end() || b->second <= 0) return std::nullopt;
        return a->second / b->second;
    }

private:
    std::map<std::string, double> seconds_;
};

}  // namespace zeq::bench
