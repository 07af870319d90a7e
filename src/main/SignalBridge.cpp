#include "main/SignalBridge.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace tavor1 {

namespace {

int g_fds[2] = {-1, -1};

constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe calls here; a full pipe just drops the byte.
    [[maybe_unused]] auto n = ::write(g_fds[0], &byte, 1);
}

} // namespace

SignalBridge::SignalBridge(QObject* parent) : QObject(parent)
{
    if (g_fds[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_fds) != 0)
        return;
    m_notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalBridge::onReadable);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    // SIGHUP (the terminal closed, or a service manager's stop) ends the
    // driver as SIGTERM does: through the closing sequence, exit 0.
    for (int sig : kTerminationSignals)
        ::sigaction(sig, &sa, nullptr);
}

SignalBridge::~SignalBridge()
{
    for (int sig : kTerminationSignals)
        std::signal(sig, SIG_DFL);
}

void SignalBridge::onReadable()
{
    char buffer[16];
    [[maybe_unused]] auto n = ::read(g_fds[1], buffer, sizeof buffer);
    emit terminationRequested();
}

} // namespace tavor1
