// Cost of one framed exchange against the register simulator, next to a raw
// loopback round trip of the same sizes on the same event loop, and the CPU
// an exchange burns while it waits for a slow register.

#include "link/FrameCodec.h"
#include "link/Protocol.h"
#include "link/RegisterConnection.h"
#include "link/RegisterLink.h"
#include "platform/Sinks.h"
#include "regsim/RegisterSimulator.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

using namespace tavor1;

constexpr const char* kCommand = "1009";  // the status poll, the commonest exchange of a job

// Per-exchange wall time of the two measured runs, for the ratio.
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
        connected = connection->ConnectAndWait(50);
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
    const std::string frame = BuildFrame(1, kCommand);
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

void BM_ExchangeAgainstSimulator(benchmark::State& state)
{
    learnSizes();
    LinkToSimulator setup(0);
    if (!setup.connected) {
        state.SkipWithError("simulator not reachable");
        return;
    }
    int failures = 0;
    for (auto _ : state)
        failures += setup.link->TrasmettiStringa(kCommand) != 0;
    state.counters["failures"] = failures;
    state.counters["frame_bytes"] = static_cast<double>(g_frameBytes);
    state.counters["reply_bytes"] = static_cast<double>(g_replyBytes);
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
        while (got < g_replyBytes)
            loop.exec();
    }
}

void BM_ExchangeWithSlowRegister(benchmark::State& state)
{
    LinkToSimulator setup(static_cast<int>(state.range(0)));
    if (!setup.connected) {
        state.SkipWithError("simulator not reachable");
        return;
    }
    for (auto _ : state)
        setup.link->TrasmettiStringa(kCommand);
}

// Collects the per-exchange times of the two runs above into one ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const double seconds = run.GetAdjustedRealTime() * 1e-9;  // reported in ns
            if (run.benchmark_name().rfind("BM_ExchangeAgainstSimulator", 0) == 0)
                g_exchangeSeconds = seconds;
            else if (run.benchmark_name().rfind("BM_RawLoopbackPingPong", 0) == 0)
                g_rawSeconds = seconds;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

BENCHMARK(BM_ExchangeAgainstSimulator)->Iterations(10000)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_RawLoopbackPingPong)->Iterations(10000)->Unit(benchmark::kNanosecond);
// CPU time next to wall time: a waiting exchange must sleep, not spin.
BENCHMARK(BM_ExchangeWithSlowRegister)->Arg(50)->Iterations(20)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (g_exchangeSeconds > 0 && g_rawSeconds > 0)
        std::printf("exchange / raw loopback round trip: %.2f (%.1f us vs %.1f us)\n",
                    g_exchangeSeconds / g_rawSeconds, g_exchangeSeconds * 1e6, g_rawSeconds * 1e6);
    benchmark::Shutdown();
    return 0;
}
