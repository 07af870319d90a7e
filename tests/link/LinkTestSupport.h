#pragma once

#include "link/RegisterConnection.h"
#include "support/EventLoop.h"
#include "support/Recorders.h"

#include <QByteArray>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace tavor1::test {

// A register stand-in on 127.0.0.1 (free port) whose answer to each frame the
// test decides. Frames arrive whole or in pieces; each one complete frame
// (STX .. ETX) is handed to onFrame, each bare ACK counted.
class ScriptedRegister : public QObject {
public:
    ScriptedRegister();
    std::uint16_t port() const { return m_server.serverPort(); }

    // Called with the frame's command (sequence, station and checksum
    // stripped), the raw frame, and the client.
    std::function<void(const std::string& command, const std::string& frame, QTcpSocket& client)> onFrame;

    std::vector<std::string> frames;
    int bareAcks = 0;
    QTcpSocket* client() const { return m_client; }

    // ACK, STX, "00", station, payload, "00", ETX.
    static QByteArray dataReply(const std::string& payload);

private:
    void onData(QTcpSocket& client);
    QTcpServer m_server;
    QTcpSocket* m_client = nullptr;
    std::string m_pending;
};

// Connection pauses short enough for tests.
ConnectionTimings fastConnection();

} // namespace tavor1::test
