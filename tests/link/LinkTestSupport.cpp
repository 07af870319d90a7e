#include "LinkTestSupport.h"

#include "protocol/Protocol.h"

namespace tavor1::test {

ScriptedRegister::ScriptedRegister()
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* next = m_server.nextPendingConnection()) {
            m_client = next;
            m_pending.clear();
            connect(next, &QTcpSocket::readyRead, this, [this, next] { onData(*next); });
        }
    });
}

QByteArray ScriptedRegister::dataReply(const std::string& payload)
{
    QByteArray reply;
    reply += protocol::ACK;
    reply += protocol::STX;
    reply += "000";
    reply += QByteArray(payload.data(), static_cast<qsizetype>(payload.size()));
    reply += "00";
    reply += protocol::ETX;
    return reply;
}

void ScriptedRegister::onData(QTcpSocket& client)
{
    const QByteArray bytes = client.readAll();
    m_pending.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    for (;;) {
        if (!m_pending.empty() && m_pending[0] == protocol::ACK) {
            ++bareAcks;
            m_pending.erase(0, 1);
            continue;
        }
        const std::size_t end = m_pending.find(protocol::ETX);
        if (end == std::string::npos)
            return;
        const std::string frame = m_pending.substr(0, end + 1);
        m_pending.erase(0, end + 1);
        frames.push_back(frame);
        // STX, two sequence digits, station ... two checksum digits, ETX.
        const std::string command = frame.size() >= 7 ? frame.substr(4, frame.size() - 7) : std::string();
        if (onFrame)
            onFrame(command, frame, client);
    }
}

ConnectionTimings fastConnection()
{
    ConnectionTimings t;
    t.closePollMs = 20;
    t.restartPollMs = 20;
    t.showClosingMs = 20;
    t.connectPollMs = 20;
    t.resetHoldMs = 50;
    return t;
}

} // namespace tavor1::test
