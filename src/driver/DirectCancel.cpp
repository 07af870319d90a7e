#include "driver/DirectCancel.h"

#include "link/ConnectionCause.h"
#include "link/RegisterConnection.h"
#include "link/RegisterLink.h"
#include "transmission/CancelSequence.h"

namespace tavor1 {

CancelReply cancelDirectly(const std::string& address, std::uint16_t port, int connectionTimeoutSeconds)
{
    CancelReply reply;
    if (address.empty()) {
        reply.report = registerUnreachableLine(address, port, kNoRegisterAddressCause) + "\r\n";
        return reply;
    }
    NullTraceSink trace;
    RegisterConnection connection(trace, SystemClock::instance(), port);
    connection.setRemoteIP(address);
    RegisterLink link(connection, trace);
    // The connection wait a job of the driver has, with the same setting.
    if (!connection.connectAndWait(connectionTimeoutSeconds)) {
        reply.report = registerUnreachableLine(address, port, connection.failureCause()) + "\r\n";
        return reply;
    }
    reply.report = cancelReport(runCancelSequence(link));
    reply.sent = true;
    connection.closeConnection();
    return reply;
}

} // namespace tavor1
