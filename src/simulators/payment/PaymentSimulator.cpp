#include "simulators/payment/PaymentSimulator.h"

#include <QHostAddress>
#include <QHttpServerRequest>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace tavor1::paysim {

namespace {

QByteArray posDataBody(const QByteArray& terminalId, const QByteArray& result, const QByteArray& koDescription,
                       const QByteArray& authorization)
{
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
           "<OperationNumber>000045</OperationNumber>"
           "<DataTrs>05/12/2026 14:30:12</DataTrs>"
           "</NativeMethods.POSData>";
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
    return posDataBody(m_terminalId, "00", "", "A1B2C3");
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
    emit requestReceived();

    switch (m_setting.outcome) {
    case Outcome::Approved:
        writeReply(socket, 200, approvedBody());
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
        QTimer::singleShot(m_setting.delayMs, socket, [guarded, body = approvedBody()] {
            if (guarded && guarded->state() == QAbstractSocket::ConnectedState)
                writeReply(guarded, 200, body);
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
