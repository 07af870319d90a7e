#include "simulators/register/SimulatorConnection.h"

#include "simulators/register/RegisterSimulator.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace tavor1::regsim {

SimulatorConnection::SimulatorConnection(QTcpSocket* socket, RegisterSimulator& simulator)
    : QObject(&simulator)
    , m_socket(socket)
    , m_simulator(simulator)
{
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, &SimulatorConnection::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &SimulatorConnection::onDisconnected);
}

SimulatorConnection::~SimulatorConnection()
{
    // The socket goes down with this object; its last signals must not reach
    // a simulator that may itself be half torn down.
    m_socket->disconnect(this);
}

bool SimulatorConnection::isOpen() const
{
    return !m_dropped && m_socket->state() == QAbstractSocket::ConnectedState;
}

void SimulatorConnection::onReadyRead()
{
    const QByteArray bytes = m_socket->readAll();
    if (m_dropped)
        return;
    for (ReceivedFrame& frame : m_reader.feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))))
        m_pending.push_back(std::move(frame));
    answerPending();
}

void SimulatorConnection::answerPending()
{
    while (!m_replyDue && !m_dropped && !m_pending.empty()) {
        const ReceivedFrame frame = std::move(m_pending.front());
        m_pending.pop_front();

        if (!frame.valid) {
            const RegisterSimulator::Answer answer = m_simulator.answerBadFrame();
            m_socket->write(answer.now);
            continue;
        }
        if (!m_lastAnswer.isEmpty() && frame.sequence == m_lastSequence && frame.command == m_lastCommand) {
            m_socket->write(m_lastAnswer);
            continue;
        }

        const RegisterSimulator::Answer answer = m_simulator.answer(frame);
        if (answer.drop) {
            drop();
            return;
        }
        if (answer.executed) {
            m_lastSequence = frame.sequence;
            m_lastCommand = frame.command;
            m_lastAnswer = answer.now + answer.later;
        } else {
            m_lastAnswer.clear();
        }
        if (!answer.now.isEmpty())
            m_socket->write(answer.now);
        if (answer.later.isEmpty())
            continue;
        m_replyDue = true;
        QTimer::singleShot(answer.delayMs, this, [this, later = answer.later] {
            m_replyDue = false;
            if (m_dropped)
                return;
            m_socket->write(later);
            answerPending();
        });
    }
}

void SimulatorConnection::drop()
{
    m_dropped = true;
    m_pending.clear();
    m_socket->abort();
    // abort() emits no disconnected() from a connected socket in every Qt
    // version; make sure the simulator hears of it once.
    QTimer::singleShot(0, this, &SimulatorConnection::onDisconnected);
}

void SimulatorConnection::onDisconnected()
{
    if (m_gone)
        return;
    m_gone = true;
    m_dropped = true;
    m_simulator.model().finishDocument();
    emit m_simulator.clientDisconnected();
    deleteLater();
}

} // namespace tavor1::regsim
