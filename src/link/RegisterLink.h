#pragma once

// The framed command/reply exchange with the register over the open
// connection. One exchange at a time: an exchange asked for while another is
// waiting (a button pressed during a job) is refused, never interleaved.

#include "link/RegisterConnection.h"
#include "link/RegisterExchange.h"
#include "platform/Clock.h"
#include "platform/Sinks.h"
#include "platform/qt/Wait.h"
#include "protocol/Protocol.h"

#include <QObject>

#include <cstddef>
#include <cstdint>
#include <string>

namespace tavor1 {

struct ExchangeTimings {
    int replyTimeoutMs = protocol::kReplyTimeoutMs;  // the whole reply
    int secondWaitMs = protocol::kSecondWaitMs;      // the frame after a lone ACK
};

class RegisterLink final : public QObject, public RegisterExchange {
    Q_OBJECT

public:
    // A reply longer than this is garbage: the excess is dropped, the wait
    // still ends on its ETX, and the exchange gives NoReply.
    static constexpr std::size_t kReceiveBufferCap = 64 * 1024;

    RegisterLink(RegisterConnection& connection, TraceSink& trace,
                 const Clock& clock = SystemClock::instance(), ExchangeTimings timings = {},
                 QObject* parent = nullptr);
    ~RegisterLink() override;

    // Sends one command and waits for its reply while events run.
    // NoReply also when refused because another exchange is waiting, or for a
    // command too long to frame; SocketFailure when the connection is not open
    // or failed during the wait.
    ExchangeResult transmitCommand(const std::string& command) override;
    const std::string& replyData() const override { return m_replyData; }
    const std::string& lastRegisterError() const override { return m_lastRegisterError; }

    // Empties the receive buffer and accepts arriving data again.
    void resetReceive();

    // True while an exchange waits for its reply. A caller that must not be
    // refused (the cancel button) tries again once it is over.
    bool isBusy() const { return m_busy; }
    // Ends the waiting exchange at once, as its time-out would (the closing
    // sequence does this so that a running job returns quickly).
    void setReplyTimedOut();

    // The number carried by the last frame sent (0 before the first one).
    int sequenceNumber() const { return m_sequence; }
    void setSequenceNumber(int sequence) { m_sequence = sequence; }

private slots:
    void onReadyRead();

private:
    ExchangeResult exchange(const std::string& command);
    // Waits until the reply is complete, the limit runs out or the connection
    // fails. True when the wait ended on a connection failure.
    bool waitForReply(int limitMs);
    bool connectionFailed() const;
    void take(const QByteArray& bytes);
    void wake();
    void trace(const std::string& text);
    void traceRuntimeError(const std::string& command, int checksum, const std::string& description,
                           int number, int step);

    RegisterConnection& m_connection;
    TraceSink& m_trace;
    const Clock& m_clock;
    ExchangeTimings m_timings;

    int m_sequence = 0;
    std::string m_receiveBuffer;
    bool m_replyComplete = false;
    bool m_receiveEnabled = false;
    bool m_replyTimedOut = false;
    bool m_overflow = false;
    std::string m_replyData;
    std::string m_lastRegisterError;

    bool m_busy = false;
    // The reply wait now running; arriving bytes and socket failures wake it.
    WaitHandle m_replyWait;
};

} // namespace tavor1
