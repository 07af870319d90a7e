#pragma once

// A fiscal register on a TCP port of 127.0.0.1, for tests, the demo and the
// simulated mode. One thread, driven by the event loop; any number of
// connections share one register.

#include "platform/Clock.h"
#include "simulators/register/FaultModes.h"
#include "simulators/register/FrameReader.h"
#include "simulators/register/PaperRoll.h"
#include "simulators/register/RegisterModel.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace tavor1::regsim {

class SimulatorConnection;

class RegisterSimulator : public QObject {
    Q_OBJECT
public:
    explicit RegisterSimulator(RegisterConfig config = {},
                               const Clock& clock = SystemClock::instance(),
                               QObject* parent = nullptr);
    ~RegisterSimulator() override;

    // Listens on 127.0.0.1; port 0 takes a free port. False when it cannot.
    bool listen(quint16 port = 0);
    quint16 port() const;
    QString errorString() const;

    // Scripted faults, tried in the order they were added; the first that
    // applies to a frame takes it.
    void addFault(Fault fault);
    void clearFaults();
    // "ERR" + code on the next `times` commands that begin with `command`.
    void failCommand(const std::string& command, const std::string& code, int times = 1);
    // "ERR" + code on the n-th frame from now (1 = the next).
    void failNthFrame(int n, const std::string& code);
    // Answers `frames` more frames, then drops the connection on the next one.
    void dropConnectionAfter(int frames);
    // Paper out / cover open, lasting the given number of "1009" polls.
    void setPaperEnd(int polls);
    void setCoverOpen(int polls);
    // Every reply is held back this long.
    void setLatency(int ms) { m_latencyMs = ms; }
    int latency() const { return m_latencyMs; }

    // Appends every finished document to this file (Windows-1252 text as printed).
    void setRollFile(std::string path) { m_rollFile = std::move(path); }

    RegisterModel& model() { return m_model; }
    const RegisterModel& model() const { return m_model; }
    const PaperRoll& roll() const { return m_roll; }
    // Every well-formed command received, in order of arrival.
    const std::vector<std::string>& commands() const { return m_commands; }
    int framesReceived() const { return static_cast<int>(m_commands.size()); }
    int badFrames() const { return m_badFrames; }
    int openConnections() const;

signals:
    void commandReceived(const QByteArray& command);
    // A document was finished; its text is on the roll.
    void documentPrinted(const QByteArray& text);
    void clientDisconnected();

private:
    friend class SimulatorConnection;

    void onNewConnection();
    // Works out the answer to one frame: the bytes to send at once, the bytes
    // to send after `delayMs`, and whether to drop the connection instead.
    struct Answer {
        QByteArray now;
        QByteArray later;
        int delayMs = 0;
        bool drop = false;
        bool executed = false; // the register carried the command out
    };
    Answer answer(const ReceivedFrame& frame);
    Answer answerBadFrame();
    void onDocumentSealed(const PrintedDocument& document);

    struct ActiveFault {
        Fault fault;
        int targetFrame = 0; // absolute frame count it applies to; 0 for any
    };

    PaperRoll m_roll;
    RegisterModel m_model;
    QTcpServer* m_server = nullptr;
    std::vector<ActiveFault> m_faults;
    std::vector<std::string> m_commands;
    int m_badFrames = 0;
    int m_latencyMs = 0;
    std::string m_rollFile;
};

} // namespace tavor1::regsim
