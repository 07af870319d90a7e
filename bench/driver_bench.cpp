// The driver's own figures, in process against the zero-latency register
// simulator: pick-up latency in Fast mode (SR_START created to the first
// frame at the register), jobs per second for a 10-line receipt, and the idle
// CPU with four channels in service in Fast and Slow modes.
//
//   driver_bench [--jobs N] [--idle-seconds S]

#include "app/Driver.h"
#include "app/JobCycle.h"
#include "app/Pause.h"
#include "platform/ByteFiles.h"
#include "platform/Clock.h"
#include "platform/Sinks.h"
#include "regsim/RegisterSimulator.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace tavor1;

namespace {

bool waitFor(const std::function<bool()>& cond, int limitMs = 10000)
{
    QDeadlineTimer deadline(limitMs);
    while (!cond()) {
        if (deadline.hasExpired())
            return false;
        pauseMs(1);
    }
    return true;
}

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Bench {
    QTemporaryDir config;
    QTemporaryDir data;
    regsim::RegisterSimulator sim;
    NullMessageSink sink;
    std::unique_ptr<Driver> driver;

    std::string d() const { return data.path().toStdString(); }

    bool start(const char* channels, bool fast)
    {
        if (!sim.listen(0))
            return false;
        const std::string c = config.path().toStdString();
        writeFileBytes(joinPath(c, "TVCHKCOM.TXT"), std::string(channels) + "\r\n");
        std::string sco = "0\r\n0\r\n0\r\n127.0.0.1\r\n 1 \r\n1\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n";
        sco += fast ? "F\r\n" : "S\r\n";
        writeFileBytes(joinPath(c, "TVCHKSCO.TXT"), sco);
        DriverConfig cfg;
        cfg.programDir = c;
        cfg.dataDir = d();
        cfg.registerPort = sim.port();
        driver = std::make_unique<Driver>(cfg, sink, SystemClock::instance());
        driver->load();
        for (int n = 1; n <= 4; ++n)
            if (channels[n - 1] == '1' && !waitFor([&] { return fileExists(joinPath(d(), "SR_MATR.00" + std::to_string(n))); }))
                return false;
        return true;
    }
};

const std::string kReceipt10 =
    "PLUD,N1,P150,:CAFFE\r\nPLUD,N1,P120,:ACQUA\r\nPLUD,N2,P350,:PANINO\r\nPLUD,N2,P250,Q2,:BRIOCHE\r\n"
    "SALE,N3,P1000\r\nPLUD,N1,P90,:GIORNALE\r\nDISC,%10\r\nPLUD,N1,P200,:SUCCO\r\nSUBT\r\nCASH,V5000\r\n";

void latencyAndThroughput(int jobs)
{
    Bench b;
    if (!b.start("1000", true)) {
        std::puts("latency: the driver did not start");
        return;
    }
    QElapsedTimer clock;
    qint64 created = 0;
    std::vector<double> latencies;
    bool waiting = false;
    QObject::connect(&b.sim, &regsim::RegisterSimulator::commandReceived, [&](const QByteArray&) {
        if (waiting) {
            latencies.push_back((clock.nsecsElapsed() - created) / 1e6);
            waiting = false;
        }
    });
    const std::string dati = joinPath(b.d(), "SR_DATI.001");
    const std::string start = joinPath(b.d(), "SR_START.001");
    const std::string finesco = joinPath(b.d(), "FINESCO.001");
    clock.start();
    const qint64 t0 = clock.nsecsElapsed();
    const double cpu0 = cpuSeconds();
    int frames0 = b.sim.framesReceived();
    for (int i = 0; i < jobs; ++i) {
        removeFile(finesco);
        writeFileBytes(dati, kReceipt10);
        waiting = true;
        created = clock.nsecsElapsed();
        writeFileBytes(start, "00000000\r\n");
        if (!waitFor([&] { return fileExists(finesco) || fileExists(joinPath(b.d(), "SR_ERR.001")); })) {
            std::printf("job %d did not end\n", i);
            return;
        }
    }
    const double wall = (clock.nsecsElapsed() - t0) / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    std::sort(latencies.begin(), latencies.end());
    auto pct = [&](double p) { return latencies[std::min(latencies.size() - 1, std::size_t(p * latencies.size()))]; };
    std::printf("Fast-mode pick-up latency over %zu jobs: median %.2f ms, p99 %.2f ms, max %.2f ms\n",
                latencies.size(), pct(0.5), pct(0.99), latencies.back());
    std::printf("10-line receipt: %.1f jobs/s (%.2f ms a job, %d frames a job, %.1f%% of one core busy)\n",
                jobs / wall, wall * 1000 / jobs, (b.sim.framesReceived() - frames0) / jobs, 100 * cpu / wall);
}

void idle(bool fast, int seconds)
{
    Bench b;
    if (!b.start("1111", fast)) {
        std::puts("idle: the driver did not start");
        return;
    }
    pauseMs(3000); // the re-arm ticks after the identifications
    const double cpu0 = cpuSeconds();
    QElapsedTimer t;
    t.start();
    pauseMs(seconds * 1000);
    const double cpu = cpuSeconds() - cpu0;
    std::printf("idle CPU, four channels, %s mode, %d s: %.3f%% of one core\n", fast ? "Fast" : "Slow (1 s)",
                seconds, 100 * cpu / (t.elapsed() / 1000.0));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int jobs = 300;
    int idleSeconds = 20;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "--jobs")
            jobs = std::max(1, std::atoi(argv[++i]));
        else if (std::string(argv[i]) == "--idle-seconds")
            idleSeconds = std::max(1, std::atoi(argv[++i]));
    }
    latencyAndThroughput(jobs);
    idle(true, idleSeconds);
    idle(false, idleSeconds);
    return 0;
}
