#pragma once

// One client of the simulated register: reads its frames, answers them one
// at a time and in order, holding later frames while a delayed reply is due.

#include "simulators/register/FrameReader.h"

#include <QObject>

#include <deque>
#include <string>

class QTcpSocket;

namespace tavor1::regsim {

class RegisterSimulator;

class SimulatorConnection : public QObject {
    Q_OBJECT
public:
    SimulatorConnection(QTcpSocket* socket, RegisterSimulator& simulator);
    ~SimulatorConnection() override;

    bool isOpen() const;

private:
    void onReadyRead();
    void onDisconnected();
    void answerPending();
    void drop();

    QTcpSocket* m_socket;
    RegisterSimulator& m_simulator;
    FrameReader m_reader;
    std::deque<ReceivedFrame> m_pending;
    // A delayed reply is on its way; later frames wait for it.
    bool m_replyDue = false;
    bool m_dropped = false;
    bool m_gone = false;
    // The last frame answered and its answer: the same frame again (same
    // sequence, same command) is answered again but not carried out twice.
    std::string m_lastSequence;
    std::string m_lastCommand;
    QByteArray m_lastAnswer;
};

} // namespace tavor1::regsim
