#include "link/RegisterLink.h"

#include "platform/NumberText.h"
#include "protocol/FrameCodec.h"

#include <algorithm>

namespace tavor1 {

namespace {

// Run-time errors of an exchange, as the trace names them.
struct RuntimeError {
    const char* description;
    int number;
};
constexpr RuntimeError kBodyTooLong{"Comando oltre 255 caratteri, non inviato", 9};
constexpr RuntimeError kNotConnected{"Wrong protocol or connection state for the requested transaction or request", 40006};
constexpr RuntimeError kReplyTooShort{"Risposta troppo corta", 5};
constexpr RuntimeError kReplyTooLong{"Risposta oltre il limite del buffer di ricezione", 6};

// Queued socket bytes are bounded too, so that a flood arriving while an
// exchange is between its two waits cannot eat the memory.
constexpr qint64 kSocketReadBufferSize = 256 * 1024;

} // namespace

RegisterLink::RegisterLink(RegisterConnection& connection, TraceSink& trace, const Clock& clock,
                           ExchangeTimings timings, QObject* parent)
    : QObject(parent), m_connection(connection), m_trace(trace), m_clock(clock), m_timings(timings)
{
    m_connection.socket().setReadBufferSize(kSocketReadBufferSize);
    connect(&m_connection.socket(), &QIODevice::readyRead, this, &RegisterLink::onReadyRead);
    connect(&m_connection, &RegisterConnection::stateChanged, this, [this] {
        if (connectionFailed())
            wake();
    });
}

RegisterLink::~RegisterLink() = default;

ExchangeResult RegisterLink::transmitCommand(const std::string& command)
{
    if (m_busy) {
        // Another exchange is waiting for its reply; sending now would mix the
        // two replies. Nothing is sent and the waiting exchange is untouched.
        trace(" --> " + command + " : COMANDO NON INVIATO, ALTRO COMANDO IN ATTESA DI RISPOSTA");
        return ExchangeResult::NoReply;
    }
    m_busy = true;
    const ExchangeResult result = exchange(command);
    m_busy = false;
    return result;
}

void RegisterLink::resetReceive()
{
    m_connection.setSocketFault(false);
    m_receiveBuffer.clear();
    m_replyComplete = false;
    m_receiveEnabled = true;
    m_overflow = false;
}

void RegisterLink::setReplyTimedOut()
{
    m_replyTimedOut = true;
    wake();
}

ExchangeResult RegisterLink::exchange(const std::string& command)
{
    using namespace protocol;
    m_lastRegisterError.clear();

    m_sequence = nextSequenceNumber(m_sequence);
    const int checksum = frameChecksum(frameBody(m_sequence, command));
    const std::string frame = buildFrame(m_sequence, command);
    if (frame.empty()) {
        traceRuntimeError(command, checksum, kBodyTooLong.description, kBodyTooLong.number, 2);
        return ExchangeResult::NoReply;
    }
    trace(" -->> " + frame);

    // Once the register has closed the connection, or any socket error has
    // closed it, nothing can come back: fail at once instead of waiting out
    // the limit, until a connection wait has seen it stand again.
    if (connectionFailed()) {
        traceRuntimeError(command, checksum, kNotConnected.description, kNotConnected.number, 4);
        return ExchangeResult::SocketFailure;
    }

    QTcpSocket& socket = m_connection.socket();
    socket.readAll();  // a late reply to an earlier command belongs to nobody
    resetReceive();
    socket.write(frame.data(), static_cast<qint64>(frame.size()));
    socket.flush();

    waitForReply(m_timings.replyTimeoutMs);
    // A complete reply counts even when the connection failed right after it:
    // the register has taken the command, and calling it a failure could have
    // the document sent twice.
    if (!m_replyComplete && connectionFailed())
        return ExchangeResult::SocketFailure;

    std::string reply;
    bool overflow = false;
    if (m_replyComplete) {
        reply = m_receiveBuffer;
        overflow = m_overflow;
    }

    if (reply.empty() || (reply.size() == 1 && reply[0] == NAK)) {
        if (!reply.empty())
            trace(" <-- " + reply);
        return ExchangeResult::NoReply;
    }

    if (reply.find(ETX) == std::string::npos) {
        // The register acknowledged; its reply frame is still to come.
        resetReceive();
        if (socket.bytesAvailable() > 0)
            take(socket.readAll());
        waitForReply(m_timings.secondWaitMs);
        if (!m_replyComplete && connectionFailed())
            return ExchangeResult::SocketFailure;
        if (m_replyComplete) {
            const char ack = ACK;
            socket.write(&ack, 1);
            socket.flush();
            reply += m_receiveBuffer;
            overflow = overflow || m_overflow;
        }
    }

    if (overflow) {
        traceRuntimeError(command, checksum, kReplyTooLong.description, kReplyTooLong.number, 7);
        return ExchangeResult::NoReply;
    }
    const std::optional<std::string> payload = cutReplyPayload(reply);
    if (!payload) {
        // Nothing to read in it: replyData keeps the last real payload.
        traceRuntimeError(command, checksum, kReplyTooShort.description, kReplyTooShort.number, 8);
        trace(" <-- " + reply);
        return ExchangeResult::NoReply;
    }
    m_replyData = *payload;

    const ReplyVerdict verdict = classifyPayload(command, m_replyData);
    if (verdict.result == ExchangeResult::DocumentNotModifiable) {
        trace(" --> " + command);
        trace(" <-- " + m_replyData);
        return verdict.result;
    }
    if (!verdict.registerError.empty() || m_replyData.find(kErrorMarker) != std::string::npos) {
        m_lastRegisterError = verdict.registerError;
        // A receipt already open is an expected answer of the transmission's
        // first command and stays out of the trace.
        if (verdict.result != ExchangeResult::ReceiptOpen) {
            trace(" --> " + command);
            trace(" <-- " + reply + "|" + m_lastRegisterError);
        }
        return verdict.result;
    }
    trace(" <-- " + reply);
    return verdict.result;
}

bool RegisterLink::connectionFailed() const
{
    return m_connection.socketFault() || m_connection.connectionLost() || !m_connection.isOpen();
}

bool RegisterLink::waitForReply(int limitMs)
{
    m_replyTimedOut = false;
    // Window events, timers and socket events run meanwhile; a handler that
    // asks for another exchange now is refused (m_busy).
    const WaitEnd end = waitUntil([this] { return m_replyTimedOut || m_replyComplete || connectionFailed(); },
                                  std::max(limitMs, 0), &m_replyWait);
    if (end != WaitEnd::Done)
        m_replyTimedOut = true;
    return connectionFailed();
}

void RegisterLink::wake()
{
    m_replyWait.wake();
}

void RegisterLink::onReadyRead()
{
    QTcpSocket& socket = m_connection.socket();
    // Between the two waits of an exchange the bytes stay queued in the socket
    // for the second wait; between exchanges they belong to nobody.
    if (m_busy && !m_receiveEnabled)
        return;
    const QByteArray bytes = socket.readAll();
    if (m_receiveEnabled)
        take(bytes);
}

void RegisterLink::take(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    const std::size_t room = kReceiveBufferCap - std::min(m_receiveBuffer.size(), kReceiveBufferCap);
    const std::size_t kept = std::min(room, static_cast<std::size_t>(bytes.size()));
    m_receiveBuffer.append(bytes.constData(), kept);
    if (kept < static_cast<std::size_t>(bytes.size()))
        m_overflow = true;
    // Only the new bytes can add an ETX or an ACK; a lone NAK is the whole buffer.
    const std::string_view fresh(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const bool lonelyNak = m_receiveBuffer.size() == 1 && m_receiveBuffer[0] == protocol::NAK;
    if (lonelyNak || fresh.find(protocol::ETX) != std::string_view::npos
        || fresh.find(protocol::ACK) != std::string_view::npos) {
        m_replyComplete = true;
        m_receiveEnabled = false;
        wake();
    }
}

void RegisterLink::trace(const std::string& text)
{
    if (m_trace.isTracing())
        m_trace.writeLine(traceTimestamp(m_clock) + text);
}

void RegisterLink::traceRuntimeError(const std::string& command, int checksum, const std::string& description,
                                     int number, int step)
{
    if (!m_trace.isTracing())
        return;
    trace(" --> " + std::to_string(m_sequence) + protocol::kStationId + command + zeroPad(checksum % 100, 2));
    if (!m_replyData.empty())
        trace(" <-- " + m_replyData + "|" + m_lastRegisterError);
    trace(" ERRORE: " + description + " - " + std::to_string(number) + " - Line : " + std::to_string(step));
}

} // namespace tavor1
