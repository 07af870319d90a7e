#include "simulators/payment/PaymentSimulator.h"

#include <QHostAddress>
#include <QHttpServerRequest>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace tavor1::paysim {

namespace {

QByteArray posDataBody(const QByteArray& terminalId, const QByteArray& result, const QByteArray& koDescription,
                       const QByteArray& authorization, const QByteArray& operationNumber = "000045")
{
    // One element a line, as the reply reads.
    // clang-format off
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
           "<NativeMethods.POSData>"
           "<TransactionResult>" + result + "</TransactionResult>"
           "<TerminalId>" + terminalId + "</TerminalId>"
           "<AcquirerId>00000000001</AcquirerId>"
           "<TransactionType>PAGAMENTO</TransactionType>"
           "<KODescription>" + koDescription + "</KODescription>"
           "<CardType>VISA</CardType>"
           "<STAN>000123</STAN>"
           "<PAN>************1234</PAN>"
           "<AuthorizationCode>" + authorization + "</AuthorizationCode>"
           "<OperationNumber>" + operationNumber + "</OperationNumber>"
           "<DataTrs>05/12/2026 14:30:12</DataTrs>"
           "</NativeMethods.POSData>";
    // clang-format on
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

// Written straight to the connection so that a reply can also be sent late,
// when the request object is long gone.
void writeReply(QTcpSocket* socket, int status, const QByteArray& body, const QByteArray& extraHeaders = {})
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    head += "Content-Type: application/xml; charset=utf-8\r\n";
    head += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    head += extraHeaders;
    head += "\r\n";
    socket->write(head);
    socket->write(body);
}

} // namespace

PaymentSimulator::PaymentSimulator(QObject* parent)
    : QAbstractHttpServer(parent)
{
}

quint16 PaymentSimulator::start(quint16 port)
{
    m_port = listen(QHostAddress::LocalHost, port);
    return m_port;
}

QByteArray PaymentSimulator::approvedBody() const
{
    return approvedBody(m_approvals.empty() ? m_nextTransactionId : m_approvals.back().transactionId);
}

QByteArray PaymentSimulator::authorizationFor(int transactionId) const
{
    if (!m_distinctAuthorizations)
        return "A1B2C3";
    return "A" + QByteArray::number(transactionId % 100000).rightJustified(5, '0');
}

QByteArray PaymentSimulator::approvedBody(int transactionId) const
{
    return posDataBody(m_terminalId, "00", "", authorizationFor(transactionId),
                       QByteArray::number(transactionId % 1000000).rightJustified(6, '0'));
}

void PaymentSimulator::approve(QTcpSocket* socket, std::size_t index)
{
    Approval approval;
    approval.transactionId = m_nextTransactionId++;
    approval.authorization = authorizationFor(approval.transactionId);
    const QByteArray& path = m_requests[index].path;
    approval.amount = path.mid(path.lastIndexOf('/') + 1);
    // A request with a terminal selector ends in "/amount/selector".
    if (const QByteArray prefix = path.left(path.lastIndexOf('/')); !prefix.endsWith("/Payment"))
        approval.amount = prefix.mid(prefix.lastIndexOf('/') + 1);
    approval.request = index;
    m_approvals.push_back(approval);
    writeReply(socket, 200, approvedBody(approval.transactionId));
}

QByteArray PaymentSimulator::declinedBody() const
{
    return posDataBody(m_terminalId, "05", "CARTA RIFIUTATA", "");
}

QByteArray PaymentSimulator::errorMessageBody()
{
    return "<Error><Message>An error has occurred.</Message></Error>";
}

QByteArray PaymentSimulator::exceptionBody()
{
    return "<Error><Message>An error has occurred.</Message>"
           "<ExceptionMessage>Terminale POS non disponibile</ExceptionMessage>"
           "<ExceptionType>System.IO.IOException</ExceptionType></Error>";
}

QByteArray PaymentSimulator::garbageBody()
{
    return "Service temporarily <b>unavailable";
}

bool PaymentSimulator::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    RecordedRequest recorded;
    recorded.method = QVariant::fromValue(request.method()).toString().toUpper().toLatin1();
    recorded.path = request.url().path(QUrl::FullyEncoded).toLatin1();
    recorded.headers = request.headers();
    m_requests.push_back(std::move(recorded));
    const std::size_t index = m_requests.size() - 1;
    emit requestReceived();

    switch (m_setting.outcome) {
    case Outcome::Approved:
        approve(socket, index);
        break;
    case Outcome::Declined:
        writeReply(socket, 200, declinedBody());
        break;
    case Outcome::ErrorMessage:
        writeReply(socket, 500, errorMessageBody());
        break;
    case Outcome::Exception:
        writeReply(socket, 500, exceptionBody());
        break;
    case Outcome::Garbage:
        writeReply(socket, 200, garbageBody());
        break;
    case Outcome::Empty:
        writeReply(socket, 200, {});
        break;
    case Outcome::Huge:
        writeReply(socket, 200, QByteArray(kHugeBodyBytes, 'x'));
        break;
    case Outcome::RedirectLoop:
        writeReply(socket, 302, {},
                   "Location: " + request.url().path(QUrl::FullyEncoded).toLatin1() + "?hop="
                       + QByteArray::number(static_cast<qsizetype>(m_requests.size())) + "\r\n");
        break;
    case Outcome::Slow: {
        // The socket is the timer's context: a client that gives up first
        // takes the pending reply with it.
        QPointer<QTcpSocket> guarded(socket);
        QTimer::singleShot(m_setting.delayMs, socket, [this, guarded, index] {
            if (guarded && guarded->state() == QAbstractSocket::ConnectedState)
                approve(guarded, index);
        });
        break;
    }
    case Outcome::Close:
        socket->abort();
        break;
    case Outcome::Silent:
        break;
    }
    return true;
}

void PaymentSimulator::missingHandler(const QHttpServerRequest&, QTcpSocket* socket)
{
    writeReply(socket, 404, {});
}

} // namespace tavor1::paysim
