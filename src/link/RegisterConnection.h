#pragma once

// The one TCP connection to the register: opening, closing and restarting it,
// the wait until it stands, and the socket's connect and error events. The
// exchange (RegisterLink) sends and receives on it.

#include "protocol/Protocol.h"
#include "platform/Clock.h"
#include "platform/Sinks.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>
#include <QTcpSocket>

#include <cstdint>
#include <string>

namespace tavor1 {

// Every pause of the connection procedures. The defaults are the driver's
// own; tests shorten them.
struct ConnectionTimings {
    int closePollMs = 200; // closeConnection: one poll of the closed state
    int closePolls = 31;        // ... and how many before "ERRORE NELLA CHIUSURA"
    int restartPollMs = 1000; // restartConnection: one retry of the close
    int restartRetries = 21;
    int showClosingMs = 2000;   // the "In Chiusura ..." caption stays this long
    int connectPollMs = 100; // connectAndWait: one poll; maxPolls counts these
    int resetHoldMs = 3000;     // reset button: connection held open before the final close
};

class RegisterConnection : public QObject {
    Q_OBJECT

public:
    // Socket states as the driver numbers them.
    enum StateValue : int {
        Closed = 0,
        // 1..6: on the way to a connection
        Opening = 1,
        ResolvingHost = 4,
        Connecting = 6,
        Connected = 7,
        Closing = 8,  // the register closed its end
        Error = 9,
    };

    explicit RegisterConnection(TraceSink& trace, const Clock& clock = SystemClock::instance(),
                                std::uint16_t port = protocol::kDefaultRegisterPort,
                                ConnectionTimings timings = {}, QObject* parent = nullptr);
    ~RegisterConnection() override;

    // txtRemoteIP: the address the next connect goes to. Not checked here;
    // the callers test it with validateIpAddress first.
    void setRemoteIP(const std::string& address) { m_remoteIP = address; }
    const std::string& remoteIP() const { return m_remoteIP; }
    std::uint16_t port() const { return m_port; }
    void setPort(std::uint16_t port) { m_port = port; }
    const ConnectionTimings& timings() const { return m_timings; }

    int state() const;
    bool isOpen() const { return state() == Connected; }

    // Closes the connection and waits for the closed state; true when closed.
    bool closeConnection();
    // Closes the connection if it is not closed, then starts connecting to
    // remoteIP(). Returns once the connect is issued.
    void restartConnection(bool showClosing);
    // Restarts the connection and waits until it stands, at most maxPolls
    // polls of connectPollMs (a state that stays "closing" counts as well).
    bool connectAndWait(int maxPolls);

    // The reset button: ends a running connection wait, restarts the
    // connection, holds it a moment, then leaves it closed.
    void resetConnection();

    // Why the last connectAndWait gave up, in words (connectionCauseText or
    // noAnswerCause); empty while it has not failed.
    const std::string& failureCause() const { return m_failureCause; }

    bool socketFault() const { return m_socketFault; }
    bool connectionLost() const { return m_connectionLost; }
    bool resetRequested() const { return m_resetRequested; }
    void setSocketFault(bool on) { m_socketFault = on; }
    void setResetRequested(bool on) { m_resetRequested = on; }

    QTcpSocket& socket() { return m_socket; }

    // The driver's number for a Qt socket error.
    static int winsockNumber(QAbstractSocket::SocketError error);

signals:
    // ShapeConn: green on the connect event, red after a completed close.
    void lampChanged(bool connected);
    // Text2, the program's status line.
    void statusText(const QString& text);
    // The reset button's caption while the connection is being closed.
    void resetCaption(const QString& caption);
    // Any change of State(); the exchange wakes on it.
    void stateChanged(int state);

private slots:
    void onConnected();
    void onErrorOccurred(QAbstractSocket::SocketError error);

private:
    void trace(const std::string& text);
    void closeSocket();

    TraceSink& m_trace;
    const Clock& m_clock;
    std::uint16_t m_port;
    ConnectionTimings m_timings;
    QTcpSocket m_socket;
    std::string m_remoteIP;
    // Set between an error event and the next close: State() reports 9.
    bool m_inError = false;
    bool m_socketFault = false;
    bool m_connectionLost = false;
    bool m_resetRequested = false;
    // The socket error of the current connect attempt, kept past the close
    // that follows it.
    bool m_connectError = false;
    QAbstractSocket::SocketError m_lastError = QAbstractSocket::UnknownSocketError;
    std::string m_failureCause;
};

} // namespace tavor1
