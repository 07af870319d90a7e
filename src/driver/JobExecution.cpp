#include "driver/JobExecution.h"

#include "driver/JobServices.h"
#include "protocol/Protocol.h"
#include "link/RegisterExchange.h"

namespace tavor1 {

bool registerStatusNotReady(const std::string& reply)
{
    return reply.size() >= 6 && reply.compare(4, 2, "00") != 0;
}

std::int16_t Go_Execution(JobServices& s, int timeoutSeconds, const std::string& datiPath,
                          const std::string& outPath)
{
    if (s.tracingOn())
        s.openTrace();
    auto closeTrace = [&s] {
        if (s.traceOpen())
            s.closeTrace();
    };

    if (!s.ConnectAndWait(timeoutSeconds)) {
        closeTrace();
        return -20;
    }

    RegisterExchange& reg = s.exchange();
    std::int16_t status = reg.TrasmettiStringa(protocol::msg::RegisterState);
    // ReplyData keeps the payload of the last reply that arrived, which after
    // an unanswered request is the previous exchange's: the state is judged
    // only on a reply to this request.
    // A document an earlier job of the driver left open is cancelled and the
    // job goes on; one the driver did not leave is the operator's.
    if (status == 0 && registerStatusNotReady(reg.ReplyData()) && s.cancelDocumentLeftOpen())
        status = reg.TrasmettiStringa(protocol::msg::RegisterState);
    if (status == 0 && reg.ReplyData().size() >= 6 && !registerStatusNotReady(reg.ReplyData()))
        s.registerHasNoOpenDocument();
    if (status == 0 && registerStatusNotReady(reg.ReplyData())) {
        closeTrace();
        return -2;
    }

    if (!s.fileExists(datiPath)) {
        closeTrace();
        return -100;
    }

    std::int16_t result = 0;
    int code = 0;
    const std::int16_t payment = s.ChiamataPOS(datiPath);
    if (payment != 0) {
        // Nothing went to the register; the slip below reports the refusal.
        result = payment;
        code = status;
    } else {
        code = s.DoSendFile(datiPath);
        result = s.jobResultFor(code);
        if (code == 20 && result == 0) {
            s.traceLine("Go_Execution: Error = 20");
            code = 0;
        }
        if (s.traceOpen()) {
            s.traceLine("Go_Execution: Result = " + std::to_string(code));
            s.closeTrace();
        }
        reg.TrasmettiStringa(protocol::msg::EndOfJob);
    }

    if (code == 0) {
        s.StampaEsitoPOS();
        if (payment != 0)
            result = payment;
    }
    if (payment == 0 && result != 0 && s.paymentApproved())
        s.keepApprovedPayment(outPath);

    closeTrace();
    return result;
}

} // namespace tavor1
