// Cost of one framed exchange against the register simulator, next to a raw
// loopback round trip of the same sizes on the same event loop, and the CPU
// an exchange burns while it waits for a slow register.
//
// The two loopback benchmarks are repeated; run them with
// --benchmark_enable_random_interleaving=true so that their repetitions
// alternate and a change of load on a shared machine falls on both sides of
// the ratio alike.

#include "BenchMain.h"
#include "protocol/FrameCodec.h"
#include "protocol/Protocol.h"
#include "link/RegisterConnection.h"
#include "link/RegisterLink.h"
#include "platform/Sinks.h"
#include "simulators/register/RegisterSimulator.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

using namespace tavor1;

constexpr const char* kCommand = "1009";  // the status poll, the commonest exchange of a job

// Per-exchange wall time of the two measured runs (their median with
// repetitions), for the ratio.
double g_exchangeSeconds = 0;
double g_rawSeconds = 0;
// Sizes learnt from the simulator, used by the raw round trip.
qsizetype g_frameBytes = 0;
qsizetype g_replyBytes = 0;

struct LinkToSimulator {
    explicit LinkToSimulator(int latencyMs)
    {
        simulator.setLatency(latencyMs);
        simulator.listen(0);
        connection = std::make_unique<RegisterConnection>(trace, SystemClock::instance(), simulator.port());
        connection->setRemoteIP("127.0.0.1");
        link = std::make_unique<RegisterLink>(*connection, trace);
        connected = connection->connectAndWait(50);
    }
    regsim::RegisterSimulator simulator;
    NullTraceSink trace;
    std::unique_ptr<RegisterConnection> connection;
    std::unique_ptr<RegisterLink> link;
    bool connected = false;
};

// Learns how many bytes the simulator answers the command with.
void learnSizes()
{
    if (g_replyBytes > 0)
        return;
    regsim::RegisterSimulator simulator;
    simulator.listen(0);
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), simulator.port());
    QEventLoop loop;
    QObject::connect(&socket, &QTcpSocket::connected, &loop, &QEventLoop::quit);
    loop.exec();
    const std::string frame = buildFrame(1, kCommand);
    socket.write(frame.data(), static_cast<qint64>(frame.size()));
    QByteArray reply;
    QObject::connect(&socket, &QTcpSocket::readyRead, &loop, [&] {
        reply += socket.readAll();
        if (reply.contains(protocol::ETX))
            loop.quit();
    });
    loop.exec();
    g_frameBytes = static_cast<qsizetype>(frame.size());
    g_replyBytes = reply.size();
}

// A label, not counters: the CSV output needs the same counters in every run.
std::string sizesLabel()
{
    return "frame " + std::to_string(g_frameBytes) + " B, reply " + std::to_string(g_replyBytes) + " B";
}

// Times "1009" exchanges against a simulator answering after latencyMs; a
// benchmark whose exchanges fail is reported as failed, not timed.
void runExchanges(benchmark::State& state, int latencyMs)
{
    LinkToSimulator setup(latencyMs);
    if (!setup.connected) {
        state.SkipWithError("simulator not reachable");
        return;
    }
    int failures = 0;
    for (auto _ : state)
        failures += setup.link->transmitCommand(kCommand) != ExchangeResult::Accepted;
    if (failures > 0)
        state.SkipWithError((std::to_string(failures) + " exchanges not accepted").c_str());
}

void BM_ExchangeAgainstSimulator(benchmark::State& state)
{
    learnSizes();
    runExchanges(state, 0);
    state.SetLabel(sizesLabel());
}

// Same request and reply sizes, plain sockets, the same single event loop:
// what any exchange over loopback costs at the least.
void BM_RawLoopbackPingPong(benchmark::State& state)
{
    learnSizes();
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    QTcpSocket* peer = nullptr;
    const QByteArray reply(g_replyBytes, 'r');
    QByteArray received;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        peer = server.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, [&] {
            received += peer->readAll();
            while (received.size() >= g_frameBytes) {
                received.remove(0, g_frameBytes);
                peer->write(reply);
            }
        });
    });
    QTcpSocket client;
    client.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    client.connectToHost(QStringLiteral("127.0.0.1"), server.serverPort());
    if (!client.waitForConnected(5000)) {
        state.SkipWithError("loopback not reachable");
        return;
    }
    const QByteArray request(g_frameBytes, 'q');
    QEventLoop loop;
    qsizetype got = 0;
    QObject::connect(&client, &QTcpSocket::readyRead, [&] {
        got += client.readAll().size();
        if (got >= g_replyBytes)
            loop.quit();
    });
    for (auto _ : state) {
        got = 0;
        client.write(request);
        client.flush();
        while (got < g_replyBytes && client.state() == QAbstractSocket::ConnectedState)
            loop.exec();
        if (got < g_replyBytes) {
            state.SkipWithError("loopback connection lost");
            break;
        }
    }
    state.SetLabel(sizesLabel());
}

void BM_ExchangeWithSlowRegister(benchmark::State& state)
{
    runExchanges(state, static_cast<int>(state.range(0)));
}

// Keeps the per-exchange time of the two loopback runs: the median when the
// runs are repeated, else the single run.
void observeRun(const benchmark::BenchmarkReporter::Run& run)
{
    if (run.error_occurred)
        return;
    const bool aggregate = run.run_type == benchmark::BenchmarkReporter::Run::RT_Aggregate;
    if (aggregate && run.aggregate_name != "median")
        return;
    const double seconds = run.GetAdjustedRealTime() * 1e-9; // reported in ns
    const std::string& name = run.run_name.function_name;
    if (name == "BM_ExchangeAgainstSimulator" && (aggregate || g_exchangeSeconds == 0))
        g_exchangeSeconds = seconds;
    else if (name == "BM_RawLoopbackPingPong" && (aggregate || g_rawSeconds == 0))
        g_rawSeconds = seconds;
}

} // namespace

BENCHMARK(BM_ExchangeAgainstSimulator)->Iterations(10000)->Repetitions(5)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_RawLoopbackPingPong)->Iterations(10000)->Repetitions(5)->Unit(benchmark::kNanosecond);
// CPU time next to wall time: a waiting exchange must sleep, not spin. The
// CPU time is the whole process's, so that a helper thread spinning would show.
BENCHMARK(BM_ExchangeWithSlowRegister)->Arg(50)->Iterations(20)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int status = tavor1::bench::runBenchmarks(argc, argv, observeRun);
    // On standard error, so that a --benchmark_format=csv or json output stays clean.
    if (g_exchangeSeconds > 0 && g_rawSeconds > 0)
        std::fprintf(stderr, "exchange / raw loopback round trip: %.2f (%.1f us vs %.1f us)\n",
                     g_exchangeSeconds / g_rawSeconds, g_exchangeSeconds * 1e6, g_rawSeconds * 1e6);
    return status;
}
