// The driver's own figures, measured on the real tavor1 process: this program
// plays the host (it writes SR_DATI and SR_START and waits for FINESCO) and
// the register (the zero-latency register simulator runs here, on this
// program's event loop), and starts `tavor1 --headless` as a child process.
// With the register in another process than the driver, their CPU times
// split a job's time between the two.
//
//   driver_bench jobs [--tavor1 PATH] [--jobs N]
//       Fast mode, channel 1: pick-up latency (SR_START created to the first
//       frame at the register), jobs per second for a 10-line receipt, CPU
//       per job of tavor1 and of this program, tavor1's resident memory.
//   driver_bench idle [--tavor1 PATH] [--seconds S]
//       Two drivers at once, four channels each, one in Fast mode and one in
//       Slow mode (1 s poll): CPU over S seconds once both are ready.
//   driver_bench large [--tavor1 PATH] [--megabytes M]
//       One request of M MB (50 by default): a receipt behind lines that only
//       set state, so that it is read and converted whole but sends little.
//       tavor1's resident memory before, at its peak and after the job.
//
// Results are printed as "name=value" lines on standard output, progress and
// failures on standard error. Exit status 0, 1 when a run failed, 2 on usage.

#include "platform/ByteFiles.h"
#include "simulators/register/RegisterSimulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace tavor1;

namespace {

const std::string kReceipt10 =
    "PLUD,N1,P150,:CAFFE\r\nPLUD,N1,P120,:ACQUA\r\nPLUD,N2,P350,:PANINO\r\nPLUD,N2,P250,Q2,:BRIOCHE\r\n"
    "SALE,N3,P1000\r\nPLUD,N1,P90,:GIORNALE\r\nDISC,%10\r\nPLUD,N1,P200,:SUCCO\r\nSUBT\r\nCASH,V5000\r\n";

// Jobs run before the measured ones: the first job of a run pays for lazy
// set-up (the trace of the first connection, first allocations).
constexpr int kWarmUpJobs = 10;

void result(const char* name, double value)
{
    std::printf("%s=%.3f\n", name, value);
}

double selfCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// utime + stime of all the threads of a process, from /proc/PID/stat.
double processCpuSeconds(qint64 pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name in field 2 may hold blanks: count fields after its ')'.
    const auto close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int n = 3; n <= 15 && fields >> field; ++n) {
        if (n == 14)
            utime = std::stoull(field);
        else if (n == 15)
            stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A "Name:   value kB" line of /proc/PID/status, in kB; -1 when missing.
long statusKb(qint64 pid, const std::string& name)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(name + ":", 0) == 0)
            return std::strtol(line.c_str() + name.size() + 1, nullptr, 10);
    return -1;
}

// Voluntary context switches of all the threads of a process: how often it
// went to sleep, which an idle process does once per wake-up.
long wakeUps(qint64 pid)
{
    long total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        std::ifstream in(tasks.filePath(tid + QStringLiteral("/status")).toStdString());
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                total += std::strtol(line.c_str() + 24, nullptr, 10);
    }
    return total;
}

// Runs the event loop until cond holds or limitMs passes; cond is tried on
// every change in dir (inotify) and, as a safety net, every 100 ms. The loop
// sleeps in between: the simulator in this process answers meanwhile.
bool waitUntil(const std::string& dir, const std::function<bool()>& cond, int limitMs)
{
    if (cond())
        return true;
    QEventLoop loop;
    QFileSystemWatcher watcher({QString::fromStdString(dir)});
    bool met = false;
    auto check = [&] {
        if (cond()) {
            met = true;
            loop.quit();
        }
    };
    QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, &loop, check);
    QTimer net;
    QObject::connect(&net, &QTimer::timeout, &loop, check);
    net.start(100);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    check(); // a change between the first test and the watch
    if (!met)
        loop.exec();
    return met;
}

void sleepMs(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// One `tavor1 --headless` in a data and a program directory of its own,
// against the simulator's port.
class DriverProcess {
public:
    DriverProcess(std::string name, std::string tavor1) : m_name(std::move(name)), m_tavor1(std::move(tavor1)) {}
    ~DriverProcess() { stop(); }

    std::string data() const { return joinPath(m_work.path().toStdString(), "dati"); }
    std::string file(const char* base, int channel) const
    {
        return joinPath(data(), std::string(base) + ".00" + std::to_string(channel));
    }
    qint64 pid() const { return m_process.processId(); }

    bool start(const char* channels, bool fast, quint16 registerPort)
    {
        const std::string work = m_work.path().toStdString();
        const std::string config = joinPath(work, "config");
        QDir().mkpath(QString::fromStdString(config));
        QDir().mkpath(QString::fromStdString(data()));
        writeFileBytes(joinPath(config, "TVCHKCOM.TXT"), std::string(channels) + "\r\n");
        // Lines 1 to 14 of the other options: the register on 127.0.0.1,
        // the mode last.
        std::string sco = "0\r\n0\r\n0\r\n127.0.0.1\r\n 1 \r\n1\r\n1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n";
        sco += fast ? "F\r\n" : "S\r\n";
        writeFileBytes(joinPath(config, "TVCHKSCO.TXT"), sco);
        writeFileBytes(joinPath(config, "TVTIMER1.TXT"), "1\r\n");

        m_log = joinPath(work, "driver.log");
        m_process.setStandardErrorFile(QString::fromStdString(m_log));
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start(QString::fromStdString(m_tavor1),
                        {QStringLiteral("--headless"), QStringLiteral("--data-dir"), QString::fromStdString(data()),
                         QStringLiteral("--config-dir"), QString::fromStdString(config),
                         QStringLiteral("--register-port"), QString::number(registerPort),
                         QStringLiteral("--closing-pause"), QStringLiteral("50")});
        if (!m_process.waitForStarted(10000)) {
            fail("cannot start " + m_tavor1 + ": " + m_process.errorString().toStdString());
            return false;
        }
        for (int n = 1; n <= 4; ++n) {
            if (channels[n - 1] != '1')
                continue;
            const std::string matr = file("SR_MATR", n);
            if (!waitUntil(data(), [&] { return fileExists(matr) || !running(); }, 20000) || !running()) {
                fail("no SR_MATR.00" + std::to_string(n)
                     + (running() ? std::string(" within 20 s")
                                  : " before tavor1 ended with status " + std::to_string(m_process.exitCode())));
                return false;
            }
        }
        return true;
    }

    bool running() const { return m_process.state() == QProcess::Running; }

    // SIGTERM, then the closing sequence runs; this loop keeps serving the
    // simulator while it does.
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        QEventLoop loop;
        QObject::connect(&m_process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        if (m_process.state() != QProcess::NotRunning)
            loop.exec();
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    void fail(const std::string& what)
    {
        std::fprintf(stderr, "driver_bench: %s driver: %s\n", m_name.c_str(), what.c_str());
        if (auto log = readFileBytes(m_log); log && !log->empty())
            std::fprintf(stderr, "-- its standard error:\n%s\n", log->c_str());
    }

private:
    std::string m_name;
    std::string m_tavor1;
    QTemporaryDir m_work;
    QProcess m_process;
    std::string m_log;
};

double percentile(std::vector<double> sorted, double p)
{
    std::sort(sorted.begin(), sorted.end());
    // Nearest rank.
    const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

int runJobs(const std::string& tavor1, int jobs)
{
    regsim::RegisterSimulator simulator;
    if (!simulator.listen(0)) {
        std::fprintf(stderr, "driver_bench: the simulator cannot listen\n");
        return 1;
    }
    DriverProcess driver("Fast-mode", tavor1);
    if (!driver.start("1000", true, simulator.port()))
        return 1;
    const qint64 pid = driver.pid();
    const long rssReady = statusKb(pid, "VmRSS");

    QElapsedTimer clock;
    clock.start();
    qint64 created = 0;
    bool waiting = false;
    std::vector<double> latencies;
    QObject::connect(&simulator, &regsim::RegisterSimulator::commandReceived, [&](const QByteArray&) {
        if (waiting) {
            latencies.push_back(static_cast<double>(clock.nsecsElapsed() - created) / 1e6);
            waiting = false;
        }
    });

    const std::string dati = driver.file("SR_DATI", 1);
    const std::string start = driver.file("SR_START", 1);
    const std::string finesco = driver.file("FINESCO", 1);
    const std::string err = driver.file("SR_ERR", 1);
    const std::string out = driver.file("SR_OUT", 1);
    // One job as a host runs it: clear the last results, request, go signal,
    // wait for FINESCO (or SR_ERR once SR_START is gone).
    auto job = [&](int i) {
        removeFile(err);
        removeFile(finesco);
        removeFile(out);
        writeFileBytes(dati, kReceipt10);
        waiting = true;
        created = clock.nsecsElapsed();
        writeFileBytes(start, "00000000\r\n");
        const bool ended = waitUntil(
            driver.data(), [&] { return fileExists(finesco) || (fileExists(err) && !fileExists(start)) || !driver.running(); },
            20000);
        if (!ended || !fileExists(finesco)) {
            const auto text = readFileBytes(err);
            driver.fail("job " + std::to_string(i) + (ended ? " failed: " + text.value_or("(driver gone)") : " did not end within 20 s"));
            return false;
        }
        if (waiting) {
            driver.fail("job " + std::to_string(i) + " ended without a frame at the register");
            return false;
        }
        return true;
    };

    for (int i = 0; i < kWarmUpJobs; ++i)
        if (!job(i))
            return 1;
    latencies.clear();
    const int frames0 = simulator.framesReceived();
    const qint64 t0 = clock.nsecsElapsed();
    const double driverCpu0 = processCpuSeconds(pid);
    const double selfCpu0 = selfCpuSeconds();
    for (int i = 0; i < jobs; ++i)
        if (!job(kWarmUpJobs + i))
            return 1;
    const double wall = static_cast<double>(clock.nsecsElapsed() - t0) / 1e9;
    const double driverCpu = processCpuSeconds(pid) - driverCpu0;
    const double selfCpu = selfCpuSeconds() - selfCpu0;
    const long rssEnd = statusKb(pid, "VmRSS");
    const long hwm = statusKb(pid, "VmHWM");
    driver.stop();

    result("jobs", jobs);
    result("frames_per_job", static_cast<double>(simulator.framesReceived() - frames0) / jobs);
    result("pickup_median_ms", percentile(latencies, 0.5));
    result("pickup_p99_ms", percentile(latencies, 0.99));
    result("pickup_max_ms", *std::max_element(latencies.begin(), latencies.end()));
    result("jobs_per_s", jobs / wall);
    result("job_wall_ms", wall * 1000 / jobs);
    result("job_driver_cpu_ms", driverCpu * 1000 / jobs);
    result("job_register_host_cpu_ms", selfCpu * 1000 / jobs);
    result("rss_ready_kb", static_cast<double>(rssReady));
    result("rss_end_kb", static_cast<double>(rssEnd));
    result("hwm_kb", static_cast<double>(hwm));
    return 0;
}

int runIdle(const std::string& tavor1, int seconds)
{
    regsim::RegisterSimulator simulator;
    if (!simulator.listen(0)) {
        std::fprintf(stderr, "driver_bench: the simulator cannot listen\n");
        return 1;
    }
    DriverProcess fast("Fast-mode", tavor1);
    DriverProcess slow("Slow-mode", tavor1);
    if (!fast.start("1111", true, simulator.port()) || !slow.start("1111", false, simulator.port()))
        return 1;
    sleepMs(3000); // the connections of the identifications close, the poll settles
    const double fast0 = processCpuSeconds(fast.pid());
    const double slow0 = processCpuSeconds(slow.pid());
    const long fastWake0 = wakeUps(fast.pid());
    const long slowWake0 = wakeUps(slow.pid());
    QElapsedTimer t;
    t.start();
    sleepMs(seconds * 1000);
    const double wall = static_cast<double>(t.nsecsElapsed()) / 1e9;
    if (!fast.running() || !slow.running()) {
        (fast.running() ? slow : fast).fail("ended while idle");
        return 1;
    }
    result("idle_seconds", wall);
    result("idle_fast_cpu_percent", 100 * (processCpuSeconds(fast.pid()) - fast0) / wall);
    result("idle_slow_cpu_percent", 100 * (processCpuSeconds(slow.pid()) - slow0) / wall);
    result("idle_fast_wakeups_per_s", static_cast<double>(wakeUps(fast.pid()) - fastWake0) / wall);
    result("idle_slow_wakeups_per_s", static_cast<double>(wakeUps(slow.pid()) - slowWake0) / wall);
    result("idle_fast_hwm_kb", static_cast<double>(statusKb(fast.pid(), "VmHWM")));
    return 0;
}

// A request of about `megabytes` MB: "XKEY" lines (they set the report mode
// and send nothing) with a text each, then a receipt.
std::string largeRequest(int megabytes)
{
    const std::size_t size = static_cast<std::size_t>(megabytes) * 1024 * 1024;
    std::string request;
    request.reserve(size + 256);
    char line[64];
    for (long n = 0; request.size() < size; ++n) {
        std::snprintf(line, sizeof line, "XKEY,:RIGA DI RIEMPIMENTO %09ld\r\n", n);
        request += line;
    }
    request += "PLUD,N1,P150,:CAFFE\r\nCASH,V150\r\n";
    return request;
}

int runLarge(const std::string& tavor1, int megabytes)
{
    regsim::RegisterSimulator simulator;
    if (!simulator.listen(0)) {
        std::fprintf(stderr, "driver_bench: the simulator cannot listen\n");
        return 1;
    }
    DriverProcess driver("Large-request", tavor1);
    if (!driver.start("1000", true, simulator.port()))
        return 1;
    const qint64 pid = driver.pid();
    const std::string dati = driver.file("SR_DATI", 1);
    const std::string start = driver.file("SR_START", 1);
    const std::string finesco = driver.file("FINESCO", 1);
    const std::string err = driver.file("SR_ERR", 1);
    if (!writeFileBytes(dati, largeRequest(megabytes))) {
        driver.fail("cannot write the request");
        return 1;
    }
    const long rssBefore = statusKb(pid, "VmRSS");
    QElapsedTimer clock;
    clock.start();
    writeFileBytes(start, "00000000\r\n");
    const bool ended = waitUntil(
        driver.data(),
        [&] { return fileExists(finesco) || (fileExists(err) && !fileExists(start)) || !driver.running(); }, 300000);
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    if (!ended || !fileExists(finesco)) {
        driver.fail(ended ? "the large job failed: " + readFileBytes(err).value_or("(driver gone)")
                          : "the large job did not end within 300 s");
        return 1;
    }
    // The job's end is reported before the poll is re-armed: a moment for
    // the driver to come back to its idle state.
    sleepMs(1000);
    const long rssAfter = statusKb(pid, "VmRSS");
    const long hwm = statusKb(pid, "VmHWM");
    driver.stop();
    result("large_mb", megabytes);
    result("large_job_s", seconds);
    result("large_rss_before_kb", static_cast<double>(rssBefore));
    result("large_hwm_kb", static_cast<double>(hwm));
    result("large_rss_after_kb", static_cast<double>(rssAfter));
    return 0;
}

int usage()
{
    std::fputs("usage: driver_bench jobs [--tavor1 PATH] [--jobs N]\n"
               "       driver_bench idle [--tavor1 PATH] [--seconds S]\n"
               "       driver_bench large [--tavor1 PATH] [--megabytes M]\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return usage();
    const std::string mode = argv[1];
    // Beside the build's bench folder by default.
    std::string tavor1 = (QCoreApplication::applicationDirPath() + QStringLiteral("/../src/main/tavor1")).toStdString();
    int jobs = 1000;
    int seconds = 60;
    int megabytes = 50;
    for (int i = 2; i < argc; ++i) {
        const std::string opt = argv[i];
        if (i + 1 >= argc)
            return usage();
        const char* value = argv[++i];
        if (opt == "--tavor1")
            tavor1 = value;
        else if (opt == "--jobs")
            jobs = std::max(1, std::atoi(value));
        else if (opt == "--seconds")
            seconds = std::max(1, std::atoi(value));
        else if (opt == "--megabytes")
            megabytes = std::max(1, std::atoi(value));
        else
            return usage();
    }
    if (mode == "jobs")
        return runJobs(tavor1, jobs);
    if (mode == "idle")
        return runIdle(tavor1, seconds);
    if (mode == "large")
        return runLarge(tavor1, megabytes);
    return usage();
}
