#pragma once

#include "simulators/payment/PaySimOutcome.h"

#include <QAbstractHttpServer>
#include <QByteArray>
#include <QList>
#include <QPair>

#include <vector>

namespace tavor1::paysim {

// One request as the simulator saw it.
struct RecordedRequest {
    QByteArray method;
    // The path as it came on the request line, percent-encoding kept.
    QByteArray path;
    // Header names and values in the order they were sent.
    QList<QPair<QByteArray, QByteArray>> headers;
};

// One approval the terminal gave: the card was charged. Recorded when the
// approved reply goes out, so a client that was gone before a late reply
// could be sent has not been charged.
struct Approval {
    // The service's own number of the transaction, sent as OperationNumber.
    int transactionId = 0;
    // The AuthorizationCode sent with it.
    QByteArray authorization;
    // The amount asked for: the path's last segment, in cents as sent.
    QByteArray amount;
    // Index of the request it answered in requests().
    std::size_t request = 0;
};

// A stand-in for the local payment web service and its terminal. Every request
// is recorded and answered according to the outcome set last; the outcome can
// be changed between requests.
//
// Built on QAbstractHttpServer rather than QHttpServer's router: the slow,
// silent and close outcomes need the connection itself, which only
// handleRequest is given.
class PaymentSimulator : public QAbstractHttpServer {
    Q_OBJECT

public:
    explicit PaymentSimulator(QObject* parent = nullptr);

    // Listens on 127.0.0.1; port 0 picks a free one. Returns the port, 0 on failure.
    quint16 start(quint16 port = 0);
    quint16 port() const { return m_port; }

    void setOutcome(OutcomeSetting setting) { m_setting = setting; }
    void setOutcome(Outcome outcome, int delayMs = 0) { m_setting = {outcome, delayMs}; }

    const std::vector<RecordedRequest>& requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }
    // Every charge made, in order; never cleared, as a bank statement.
    const std::vector<Approval>& approvals() const { return m_approvals; }

    // The terminal id that the transaction replies carry.
    void setTerminalId(const QByteArray& terminalId) { m_terminalId = terminalId; }
    // Every approval carries an authorization code of its own ("A" and the
    // transaction id in five digits) instead of the fixed "A1B2C3", so that
    // a list of approvals by code tells them apart.
    void setDistinctAuthorizations(bool distinct) { m_distinctAuthorizations = distinct; }

    // The reply bodies, for tests that compare what the client kept. The
    // approved body carries the last approval's transaction id (the next
    // one's before any was given).
    QByteArray approvedBody() const;
    QByteArray declinedBody() const;
    static QByteArray errorMessageBody();
    static QByteArray exceptionBody();
    static QByteArray garbageBody();

    // Size of the Huge outcome's body.
    static constexpr qsizetype kHugeBodyBytes = 10 * 1024 * 1024;

signals:
    void requestReceived();

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    // Records the charge and writes the approved reply for request `index`.
    void approve(QTcpSocket* socket, std::size_t index);
    QByteArray approvedBody(int transactionId) const;
    QByteArray authorizationFor(int transactionId) const;

    // Numbers of the transactions; the first is 45, the number the fixed
    // replies of earlier versions carried.
    int m_nextTransactionId = 45;
    bool m_distinctAuthorizations = false;
    std::vector<Approval> m_approvals;
    OutcomeSetting m_setting;
    std::vector<RecordedRequest> m_requests;
    quint16 m_port = 0;
    QByteArray m_terminalId = "12345678";
};

} // namespace tavor1::paysim
