#include "link/RegisterConnection.h"

#include "link/ConnectionCause.h"
#include "platform/qt/Wait.h"

namespace tavor1 {

namespace {
const char* const kCloseFailure = "ERRORE NELLA CHIUSURA DELLA CONNESSIONE";
}

RegisterConnection::RegisterConnection(TraceSink& trace, const Clock& clock, std::uint16_t port,
                                       ConnectionTimings timings, QObject* parent)
    : QObject(parent), m_trace(trace), m_clock(clock), m_port(port), m_timings(timings)
{
    connect(&m_socket, &QTcpSocket::connected, this, &RegisterConnection::onConnected);
    connect(&m_socket, &QAbstractSocket::errorOccurred, this, &RegisterConnection::onErrorOccurred);
    connect(&m_socket, &QAbstractSocket::stateChanged, this, [this] { emit stateChanged(state()); });
    // Frames are short and answered one at a time: send each at once.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

RegisterConnection::~RegisterConnection()
{
    m_socket.disconnect(this);
    m_socket.abort();
}

int RegisterConnection::state() const
{
    if (m_inError)
        return Error;
    switch (m_socket.state()) {
    case QAbstractSocket::UnconnectedState:
        return Closed;
    case QAbstractSocket::HostLookupState:
        return ResolvingHost;
    case QAbstractSocket::ConnectingState:
        return Connecting;
    case QAbstractSocket::ConnectedState:
        return Connected;
    case QAbstractSocket::ClosingState:
        return Closing;
    case QAbstractSocket::BoundState:
    case QAbstractSocket::ListeningState:
        return Opening;
    }
    return Error;
}

void RegisterConnection::closeSocket()
{
    // A bare ACK just written after a reply must still reach the register.
    m_socket.flush();
    m_socket.abort();
    m_inError = false;
}

bool RegisterConnection::closeConnection()
{
    if (state() != Closed)
        closeSocket();
    int count = 0;
    while (state() > Closed) {
        waitUntil([this] { return state() == Closed; }, m_timings.closePollMs);
        if (++count >= m_timings.closePolls && state() != Closed) {
            emit statusText(QString::fromLatin1(kCloseFailure));
            return false;
        }
    }
    emit lampChanged(false);
    return true;
}

void RegisterConnection::restartConnection(bool showClosing)
{
    if (state() != Closed) {
        closeSocket();
        if (showClosing) {
            emit resetCaption(QStringLiteral("In Chiusura ..."));
            pauseFor(m_timings.showClosingMs);
        }
    }
    int retry = 0;
    while (state() != Closed) {
        waitUntil([this] { return state() == Closed; }, m_timings.restartPollMs);
        if (state() == Closed)
            break;
        ++retry;
        trace(" --> Retry n." + std::to_string(retry) + " -> " + kCloseFailure);
        if (retry >= m_timings.restartRetries) {
            emit statusText(QString::fromLatin1(kCloseFailure));
            return;
        }
    }
    if (state() == Closed) {
        if (!m_remoteIP.empty())
            m_socket.connectToHost(QString::fromLatin1(m_remoteIP.data(), static_cast<qsizetype>(m_remoteIP.size())),
                                   m_port);
    } else {
        trace(" --> SOCKET CONNECTION FAILURE");
    }
}

bool RegisterConnection::connectAndWait(int maxPolls)
{
    m_connectError = false;
    m_failureCause.clear();
    restartConnection(false);
    int polls = 0;
    const auto giveUp = [&] {
        m_failureCause =
            m_connectError ? connectionCauseText(m_lastError) : noAnswerCause(polls * m_timings.connectPollMs);
        return false;
    };
    for (;;) {
        if (state() == Connected) {
            m_connectionLost = false;
            m_socketFault = false;
            return true;
        }
        // Every other state is polled and counted, "closing" included: a
        // register that keeps its end half-closed must not hold the job.
        waitUntil([this] { return state() == Connected || (state() <= Closed && m_resetRequested); },
                  m_timings.connectPollMs);
        ++polls;
        if (state() == Connected)
            continue;
        if (state() <= Closed && m_resetRequested) {
            m_resetRequested = false;
            return giveUp();
        }
        if (polls > maxPolls)
            return giveUp();
    }
}

void RegisterConnection::resetConnection()
{
    m_resetRequested = true;
    restartConnection(true);
    pauseFor(m_timings.resetHoldMs);
    closeConnection();
}

void RegisterConnection::onConnected()
{
    m_inError = false;
    emit lampChanged(true);
    trace(" --> Connection OK");
}

int RegisterConnection::winsockNumber(QAbstractSocket::SocketError error)
{
    using E = QAbstractSocket::SocketError;
    switch (error) {
    case E::RemoteHostClosedError:
        return protocol::wserr::ConnectionAborted;
    case E::SocketTimeoutError:
        return protocol::wserr::TimedOut;
    case E::ConnectionRefusedError:
        return protocol::wserr::ConnectionRefused;
    case E::HostNotFoundError:
        return protocol::wserr::HostNotFound;
    case E::NetworkError:
        return protocol::wserr::NetworkDown;
    case E::SocketAccessError:
        return protocol::wserr::AccessDenied;
    case E::SocketResourceError:
        return protocol::wserr::NoBufferSpace;
    case E::UnsupportedSocketOperationError:
        return protocol::wserr::OperationNotSupported;
    default:
        return protocol::wserr::Other;
    }
}

void RegisterConnection::onErrorOccurred(QAbstractSocket::SocketError error)
{
    const int number = winsockNumber(error);
    const std::string description = m_socket.errorString().toLatin1().toStdString();
    m_connectError = true;
    m_lastError = error;
    m_inError = true;
    closeConnection();
    const std::string text = "WS_Error n." + std::to_string(number) + " - " + description + " - " + std::to_string(number);
    if (number == protocol::wserr::ConnectionAborted || number == protocol::wserr::TimedOut) {
        m_connectionLost = true;
        m_socketFault = false;
    } else {
        m_socketFault = true;
        m_connectionLost = false;
        emit statusText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    }
    trace(" --> " + text);
    emit stateChanged(state());
}

void RegisterConnection::trace(const std::string& text)
{
    if (m_trace.isTracing())
        m_trace.writeLine(traceTimestamp(m_clock) + text);
}

} // namespace tavor1
