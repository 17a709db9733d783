// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every benchmark program here shares: the console table, then one line
// per comparison such as "decode/bare 704x480 0.98", each from the medians of
// the repetitions. Repetitions run interleaved in random order, so a burst of
// load from elsewhere on the machine falls on both sides of a ratio alike.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace bench
{
constexpr int kRepetitions = 5;

struct FrameSize
{
    int width;
    int height;
};

inline constexpr FrameSize kFrameSizes[] = {{352, 240}, {704, 480}, {1280, 720}};

inline std::string SizeName(const FrameSize& size)
{
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

// Median seconds per iteration, real and CPU, and the median of each counter.
struct Measured
{
    double realSeconds = 0;
    double cpuSeconds = 0;
    std::map<std::string, double> counters;
};

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    enum class Basis
    {
        CpuTime,  // the process's CPU time per iteration
        RealTime, // wall-clock time per iteration
    };

    // Prints label = reference time / measured time per item: 1.0 is as fast as
    // the reference. An iteration of the measured one may handle several items.
    void AddSpeedRatio(std::string label, std::string measured, std::string reference, Basis basis,
                       int measuredItemsPerIteration = 1)
    {
        m_ratios.push_back({std::move(label), std::move(measured), std::move(reference), basis,
                            measuredItemsPerIteration});
    }

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
        {
            if (run.error_occurred)
            {
                continue;
            }
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (!single && run.aggregate_name != "median")
            {
                continue;
            }
            const double toSeconds = 1.0 / benchmark::GetTimeUnitMultiplier(run.time_unit);
            Measured& m = m_measured[run.run_name.function_name];
            m.realSeconds = run.GetAdjustedRealTime() * toSeconds;
            m.cpuSeconds = run.GetAdjustedCPUTime() * toSeconds;
            for (const auto& [name, counter] : run.counters)
            {
                m.counters[name] = counter.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    const Measured* Find(const std::string& name) const
    {
        const auto found = m_measured.find(name);
        return found == m_measured.end() ? nullptr : &found->second;
    }

    void PrintRatios() const
    {
        std::printf("\n");
        for (const Ratio& ratio : m_ratios)
        {
            const Measured* measured = Find(ratio.measured);
            const Measured* reference = Find(ratio.reference);
            if (measured == nullptr || reference == nullptr)
            {
                continue;
            }
            const bool cpu = ratio.basis == Basis::CpuTime;
            const double ours = (cpu ? measured->cpuSeconds : measured->realSeconds) /
                                ratio.measuredItemsPerIteration;
            const double theirs = cpu ? reference->cpuSeconds : reference->realSeconds;
            if (ours > 0)
            {
                std::printf("%-40s %6.3f   (%.1f us against %.1f us, %s)\n", ratio.label.c_str(),
                            theirs / ours, ours * 1e6, theirs * 1e6, cpu ? "CPU" : "real");
            }
        }
    }

private:
    struct Ratio
    {
        std::string label;
        std::string measured;
        std::string reference;
        Basis basis;
        int measuredItemsPerIteration;
    };

    std::map<std::string, Measured> m_measured;
    std::vector<Ratio> m_ratios;
};

// Initialises the library with interleaved repetitions unless the command line
// says otherwise, runs every registered benchmark and prints the ratios.
inline int RunAndPrint(int argc, char** argv, RatioReporter& reporter)
{
    std::vector<char*> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    bool given = false;
    for (int i = 1; i < argc; ++i)
    {
        given |= std::string(argv[i]).starts_with("--benchmark_enable_random_interleaving");
    }
    if (!given)
    {
        args.push_back(interleave.data());
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
    {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
} // namespace bench
