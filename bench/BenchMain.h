#pragma once

// The main of the Google Benchmark programs: runs them with the display
// reporter chosen by --benchmark_format, lets the program look at every run,
// and turns a benchmark that could not run into a failing exit status (the
// library itself exits 0 even when a benchmark skipped with an error).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace tavor1::bench {

class FailureCountingReporter : public benchmark::BenchmarkReporter {
public:
    explicit FailureCountingReporter(std::function<void(const Run&)> observe)
        : m_inner(benchmark::CreateDefaultDisplayReporter()), m_observe(std::move(observe))
    {
    }

    bool ReportContext(const Context& context) override { return m_inner->ReportContext(context); }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                ++m_failures;
                std::fprintf(stderr, "benchmark %s failed: %s\n", run.benchmark_name().c_str(),
                             run.error_message.c_str());
            }
            if (m_observe)
                m_observe(run);
        }
        m_inner->ReportRuns(runs);
    }
    void Finalize() override { m_inner->Finalize(); }

    int failures() const { return m_failures; }

private:
    std::unique_ptr<benchmark::BenchmarkReporter> m_inner;
    std::function<void(const Run&)> m_observe;
    int m_failures = 0;
};

// 0 when every selected benchmark ran, 1 otherwise (none selected included).
inline int runBenchmarks(int& argc, char** argv, std::function<void(const benchmark::BenchmarkReporter::Run&)> observe = {})
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    FailureCountingReporter reporter(std::move(observe));
    const std::size_t ran = benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return ran == 0 || reporter.failures() > 0 ? 1 : 0;
}

} // namespace tavor1::bench
