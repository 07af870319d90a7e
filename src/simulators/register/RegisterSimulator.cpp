#include "simulators/register/RegisterSimulator.h"

#include "platform/NativePath.h"
#include "protocol/Protocol.h"
#include "simulators/register/SimulatorConnection.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdio>

namespace tavor1::regsim {

RegisterSimulator::RegisterSimulator(RegisterConfig config, const Clock& clock, QObject* parent)
    : QObject(parent)
    , m_model(std::move(config), clock, m_roll)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &RegisterSimulator::onNewConnection);
    m_roll.setSealedHandler([this](const PrintedDocument& document) { onDocumentSealed(document); });
}

RegisterSimulator::~RegisterSimulator()
{
    // Connections reach back into the model; they go first.
    for (SimulatorConnection* connection : findChildren<SimulatorConnection*>(Qt::FindDirectChildrenOnly))
        delete connection;
    m_roll.setSealedHandler({});
}

bool RegisterSimulator::listen(quint16 port)
{
    return m_server->listen(QHostAddress::LocalHost, port);
}

quint16 RegisterSimulator::port() const
{
    return m_server->serverPort();
}

QString RegisterSimulator::errorString() const
{
    return m_server->errorString();
}

int RegisterSimulator::openConnections() const
{
    int open = 0;
    for (const SimulatorConnection* connection : findChildren<SimulatorConnection*>(Qt::FindDirectChildrenOnly))
        open += connection->isOpen() ? 1 : 0;
    return open;
}

void RegisterSimulator::addFault(Fault fault)
{
    const int target = fault.nthFrame > 0 ? framesReceived() + fault.nthFrame : 0;
    m_faults.push_back(ActiveFault{std::move(fault), target});
}

void RegisterSimulator::clearFaults()
{
    m_faults.clear();
}

void RegisterSimulator::failCommand(const std::string& command, const std::string& code, int times)
{
    Fault fault;
    fault.mode = FaultMode::ErrorReply;
    fault.command = command;
    fault.code = code;
    fault.times = times;
    addFault(std::move(fault));
}

void RegisterSimulator::failNthFrame(int n, const std::string& code)
{
    Fault fault;
    fault.mode = FaultMode::ErrorReply;
    fault.nthFrame = n;
    fault.code = code;
    addFault(std::move(fault));
}

void RegisterSimulator::dropConnectionAfter(int frames)
{
    Fault fault;
    fault.mode = FaultMode::DropConnection;
    fault.nthFrame = frames + 1;
    addFault(std::move(fault));
}

void RegisterSimulator::setPaperEnd(int polls)
{
    m_model.setPaperEnd(polls);
}

void RegisterSimulator::setCoverOpen(int polls)
{
    m_model.setCoverOpen(polls);
}

void RegisterSimulator::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection())
        new SimulatorConnection(socket, *this);
}

RegisterSimulator::Answer RegisterSimulator::answerBadFrame()
{
    ++m_badFrames;
    Answer answer;
    answer.now = QByteArray(1, protocol::NAK);
    return answer;
}

RegisterSimulator::Answer RegisterSimulator::answer(const ReceivedFrame& frame)
{
    m_commands.push_back(frame.command);
    const int frameNumber = framesReceived();
    emit commandReceived(QByteArray::fromStdString(frame.command));

    // The first fault that applies takes the frame.
    const Fault* fault = nullptr;
    Fault taken;
    for (auto it = m_faults.begin(); it != m_faults.end(); ++it) {
        if (it->targetFrame != 0 && it->targetFrame != frameNumber)
            continue;
        if (frame.command.rfind(it->fault.command, 0) != 0)
            continue;
        taken = it->fault;
        fault = &taken;
        if (it->fault.times > 0 && --it->fault.times == 0)
            m_faults.erase(it);
        else if (it->targetFrame != 0)
            m_faults.erase(it); // an n-th frame comes only once
        break;
    }
    // Faults aimed at a frame already gone by can never apply again.
    std::erase_if(m_faults, [frameNumber](const ActiveFault& f) { return f.targetFrame != 0 && f.targetFrame <= frameNumber; });

    Answer answer;
    std::string payload;
    if (fault) {
        switch (fault->mode) {
        case FaultMode::DropConnection:
            answer.drop = true;
            return answer;
        case FaultMode::DropAfterDoing:
            m_model.execute(frame.command);
            answer.executed = true;
            answer.drop = true;
            return answer;
        case FaultMode::Silence:
            return answer;
        case FaultMode::Nak:
            answer.now = QByteArray(1, protocol::NAK);
            return answer;
        case FaultMode::ErrorReply:
            // A warning is given after the command has been carried out.
            if (fault->code == err::JournalNearlyFull) {
                const std::string own = m_model.execute(frame.command);
                answer.executed = own.rfind(protocol::kErrorMarker, 0) != 0;
                payload = answer.executed ? std::string(protocol::kErrorMarker) + fault->code : own;
            } else {
                payload = std::string(protocol::kErrorMarker) + fault->code;
            }
            if (fault->code == err::OwnError)
                m_model.setOwnErrorText(fault->text);
            break;
        case FaultMode::CustomReply:
            m_model.execute(frame.command);
            answer.executed = true;
            payload = fault->text;
            break;
        case FaultMode::LoneAck:
            payload = m_model.execute(frame.command);
            answer.executed = true;
            break;
        }
    } else {
        payload = m_model.execute(frame.command);
        answer.executed = true;
    }

    const QByteArray reply = QByteArray::fromStdString(buildReplyFrame(frame, payload));
    if (fault && fault->mode == FaultMode::LoneAck) {
        answer.now = QByteArray(1, protocol::ACK);
        answer.later = reply.mid(1); // the frame without its ACK
        answer.delayMs = fault->delayMs + m_latencyMs;
    } else if (m_latencyMs > 0) {
        answer.later = reply;
        answer.delayMs = m_latencyMs;
    } else {
        answer.now = reply;
    }
    return answer;
}

void RegisterSimulator::onDocumentSealed(const PrintedDocument& document)
{
    const std::string text = document.text();
    if (!m_rollFile.empty()) {
        std::FILE* file = openFile(m_rollFile, "ab");
        const bool written = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
        if (file && std::fclose(file) != 0)
            std::fprintf(stderr, "tavor1-regsim: cannot close the roll file %s\n", m_rollFile.c_str());
        else if (!written)
            std::fprintf(stderr, "tavor1-regsim: cannot write the roll file %s\n", m_rollFile.c_str());
    }
    emit documentPrinted(QByteArray::fromStdString(text));
}

} // namespace tavor1::regsim
