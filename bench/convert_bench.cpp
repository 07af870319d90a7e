// Conversion cost of a mixed request: articles with quantities, adjustments,
// print and display lines, subtotals and payments, in memory and through the
// request file and KB.txt as the driver runs it.
#include "BenchMain.h"
#include "conversion/receipt/ReceiptConverter.h"
#include "platform/ByteFiles.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> mixedRequest(std::size_t count)
{
    static const char* const pattern[] = {
        "SALE,N3,P250,Q2",
        "PLUD,N1,P1299,Q1.5,:PANE COMUNE",
        "DISC,%10",
        "PRNT,:GRAZIE E ARRIVEDERCI",
        "PLUD,N2,P350,:LATTE INTERO,R",
        "COUP,V50,:SCONTO FEDELTA",
        "DISP,N1,:TOTALE PARZIALE",
        "DISP,N2,:EURO 12,50",
        "SUBT",
        "ADDS,V100",
    };
    std::vector<std::string> lines;
    lines.reserve(count);
    for (std::size_t i = 0; i + 1 < count; ++i) lines.emplace_back(pattern[i % std::size(pattern)]);
    lines.emplace_back("CASH,V100000");
    return lines;
}

void BM_ConvertLines(benchmark::State& state)
{
    const auto lines = mixedRequest(static_cast<std::size_t>(state.range(0)));
    tavor1::ConversionContext ctx;
    for (auto _ : state) {
        tavor1::ConversionResult result;
        if (tavor1::convertRequestLines(lines, ctx, result) != 0) {
            state.SkipWithError(("no command list: " + result.failureReason).c_str());
            break;
        }
        benchmark::DoNotOptimize(result.commands.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ConvertLines)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

void BM_ConvertFile(benchmark::State& state)
{
    // One folder per run: two runs at once must not share KB.txt.
    const auto dir = std::filesystem::temp_directory_path() / ("tavor1-convert-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::string bytes;
    for (const auto& line : mixedRequest(static_cast<std::size_t>(state.range(0)))) bytes += line + "\r\n";
    const std::string request = (dir / "SR_DATI.001").string();
    tavor1::writeFileBytes(request, bytes);
    tavor1::ConversionContext ctx;
    ctx.dataDir = dir.string();
    for (auto _ : state) {
        tavor1::ConversionResult result;
        if (tavor1::convertRequestFile(request, ctx, result) != 0) {
            state.SkipWithError(("no KB.txt: " + result.failureReason).c_str());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ConvertFile)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return tavor1::bench::runBenchmarks(argc, argv);
}
