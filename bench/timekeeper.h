#pragma once
// A console reporter that also keeps the time of every benchmark run, so that a bench's main
// can print the ratios its goals are stated in.

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class TimeKeeper : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration)
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    /// Real time per iteration, by benchmark name ("name/arg:value/...").
    std::map<std::string, double> times;
};
