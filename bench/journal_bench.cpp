// What the job journal costs a job: the five records of a receipt, each
// written and synced before its step (the sync dominates, and depends on the
// disk under the data directory); reading back a journal at its bound; and
// the compaction that keeps it there.

#include "BenchMain.h"
#include "exchange/JobJournal.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace {

using namespace tavor1;

const std::string kSrOut = "TIME,CASS. 1 14:05 CASSA   1 ,E,A1;\r\nDATE,06/12/26  SCONTR. N.0013,E,A1;\r\n"
                           "Versione: 1.0.0.0\r\nFW: 1.02.03\r\nGTOT,V3000;\r\nGRTO,V0000003000;\r\nNAZF,V0000;\r\n";

std::string freshDir(const char* name)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

void recordJob(JobJournal& journal, const RequestStamp& stamp)
{
    const std::uint64_t id = journal.beginJob(1, stamp);
    journal.append(countersRecord(id, "0012/0000/0012/0000/0003"));
    journal.append(documentBegunRecord(id));
    journal.append(outcomeRecord(id, JobResult::Ok, "TUTTO OK", "0013", "FINESCO", kSrOut, false, false));
    journal.append(answeredRecord(id, "FINESCO"));
}

// One receipt's records, synced one by one, with the compaction that follows
// a job once the journal is past its bound.
void BM_JournalOfOneJob(benchmark::State& state)
{
    const std::string dir = freshDir("tavor1-journal-bench");
    JobJournal journal(dir, SystemClock::instance());
    if (!journal.open()) {
        state.SkipWithError("journal not readable");
        return;
    }
    const RequestStamp stamp = stampOfBytes("PLUD,N1,P250,Q2,:PANE COMUNE\r\nCASH,V500\r\n");
    for (auto _ : state) {
        recordJob(journal, stamp);
        journal.compactIfLarge();
    }
    state.SetItemsProcessed(state.iterations());
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_JournalOfOneJob)->Unit(benchmark::kMillisecond)->UseRealTime();

// Start-up: reading a journal of the size compaction keeps it under.
void BM_ReplayAtStartup(benchmark::State& state)
{
    std::string file;
    const RequestStamp stamp = stampOfBytes("CASH,V500\r\n");
    for (std::uint64_t id = 1; id <= static_cast<std::uint64_t>(state.range(0)); ++id) {
        file += encodeJournalRecord(acceptedRecord(id, 1, stamp));
        file += encodeJournalRecord(countersRecord(id, "0012/0000/0012/0000/0003"));
        file += encodeJournalRecord(documentBegunRecord(id));
        file +=
            encodeJournalRecord(outcomeRecord(id, JobResult::Ok, "TUTTO OK", "0013", "FINESCO", kSrOut, false, false));
        file += encodeJournalRecord(answeredRecord(id, "FINESCO"));
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(replayJournal(file));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.size()));
    state.counters["file_kib"] = static_cast<double>(file.size()) / 1024.0;
}
BENCHMARK(BM_ReplayAtStartup)->Arg(200)->Arg(1000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return tavor1::bench::runBenchmarks(argc, argv);
}
